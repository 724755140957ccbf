#include "acquire/ui/AcquireUPS.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

CFont* CAcquireUPS::s_pFont = nullptr;

namespace {
QRadioButton* Radio(const char* text, unsigned id, QWidget* parent, QLayout* layout)
{
    auto* b = new QRadioButton(QString::fromLatin1(text), parent);
    b->setObjectName(QStringLiteral("id_%1").arg(id));
    layout->addWidget(b);
    return b;
}
} // namespace

CAcquireUPS::CAcquireUPS(QWidget* pParent) : CDialog(pParent)
{
    setObjectName(QStringLiteral("IDD_ACQ_UPS"));
    setWindowTitle(QStringLiteral("UPS Setup"));

    auto* groups = new QHBoxLayout;
    const std::pair<const char*,
                    std::pair<std::pair<const char*, unsigned>, std::pair<const char*, unsigned>>>
        boxes[] = {{"Experiment", {{"Widescan", 1007}, {"Narrowscan", 1008}}},
                   {"Scan", {{"Across", 1021}, {"Down", 1022}}},
                   {"Mode", {{"CAE", 1019}, {"CRR", 1020}}}};
    for (const auto& [title, radios] : boxes) {
        auto* box = new QGroupBox(QString::fromLatin1(title), this);
        auto* l = new QVBoxLayout(box);
        Radio(radios.first.first, radios.first.second, box, l);
        Radio(radios.second.first, radios.second.second, box, l);
        groups->addWidget(box);
    }
    auto* table = new QPushButton(QStringLiteral("Periodic Table..."), this);
    table->setObjectName(QStringLiteral("id_1068"));
    groups->addWidget(table, 0, Qt::AlignBottom);
    groups->addStretch();

    auto* placeholder = new QWidget(this);
    placeholder->setObjectName(QStringLiteral("id_%1").arg(IDC_GRID));
    placeholder->setMinimumSize(560, 160);

    auto* buttons = new QVBoxLayout;
    const std::pair<const char*, unsigned> pushes[] = {{"Start", 1001},   {"Stop", 1002},    {"Pause", 1003},
                                                       {"Load...", 1004}, {"Save...", 1005}, {"Close", 1009}};
    for (auto [text, id] : pushes) {
        // None of them has an action yet.
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QStringLiteral("id_%1").arg(id));
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch();

    auto* left = new QVBoxLayout;
    left->addLayout(groups);
    left->addWidget(placeholder, 1);
    auto* top = new QHBoxLayout(this);
    top->addLayout(left, 1);
    top->addLayout(buttons);
}

bool CAcquireUPS::OnInitDialog()
{
    if (!CDialog::OnInitDialog())
        return false;
    if (!s_pFont)
        s_pFont = new CFont(QApplication::font()); // kept until the program ends
    m_Grid.AttachToDlgItem(this, QStringLiteral("id_%1").arg(IDC_GRID));

    CUGCell cell;
    m_Grid.GetHeadingDefault(&cell);
    cell.SetFont(s_pFont);
    cell.SetAlignment(UG_ALIGNLEFT | UG_ALIGNBOTTOM);
    m_Grid.SetHeadingDefault(&cell);
    m_Grid.GetGridDefault(&cell);
    cell.SetFont(s_pFont);
    cell.SetCellType(0);
    m_Grid.SetGridDefault(&cell);

    m_Grid.SetRowCount(9);
    m_Grid.SetColCount(6);
    m_Grid.SetTopHdgHeight(0);
    m_Grid.SetVScrollWidth(0);
    m_Grid.SetHScrollMode(1);

    const char* labels[] = {"Element",    "Region", "Start (eV)", "Finish (eV)", "Step (eV)",
                            "Dwell (ms)", "Scans",  "Epass (eV)", "Repeat"};
    const QFontMetrics fm(s_pFont->Font());
    int widest = 0;
    for (long r = 0; r < 9; ++r) {
        m_Grid.SetTextAt(-1, r, labels[r]);
        widest = std::max(widest, fm.horizontalAdvance(QString::fromLatin1(labels[r])));
    }
    m_Grid.SetUniformRowHeight(TRUE);
    m_Grid.SetDefRowHeight(fm.height());
    m_Grid.SetSideHdgWidth(widest + 2 * m_Grid.GI()->m_margin);
    m_Grid.FitColsToWidth(0, 5);

    for (int c = 0; c < 6; ++c) {
        for (long r = 0; r < 2; ++r) {
            m_Grid.SetCellTypeAt(c, r, UGTYPE_DROPLIST);
            m_Grid.SetCellTypeParamAt(c, r, 0x200);
        }
        m_Grid.SetTextAt(c, 0, "Ag");
        m_Grid.SetLabelAt(c, 0, "H\nHe\nBe\n");
        m_Grid.SetLabelAt(c, 1, "\n");
    }
    m_Grid.GotoCol(3);
    m_Grid.setEnabled(false);
    return true;
}
