#include "acquire/ui/PeriodicTable.h"

#include "data/Region.h"
#include "data/formats/PkLib.h"
#include "framework/ui/Guard.h"
#include "platform/Cp1252.h"
#include "platform/Strings.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <iterator>

namespace {
// The symbols by atomic number: a button finds its library element by its
// label, so a library that skips an element cannot shift the others.
const char* const kSymbols[] = {"H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg", "Al",
                                "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr", "Mn", "Fe",
                                "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr", "Rb", "Sr", "Y",
                                "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd", "In", "Sn", "Sb", "Te",
                                "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd", "Pm", "Sm", "Eu", "Gd", "Tb",
                                "Dy", "Ho", "Er", "Tm", "Yb", "Lu", "Hf", "Ta", "W",  "Re", "Os", "Ir", "Pt",
                                "Au", "Hg", "Tl", "Pb", "Bi", "Po", "At", "Rn", "Fr", "Ra", "Ac", "Th", "Pa",
                                "U",  "Np", "Pu", "Am", "Cm", "Bk", "Cf", "Es", "Fm", "Md", "No", "Lr"};

// Group (1..18) and period (1..7, then 8 lanthanides, 9 actinides) of atomic number z.
std::pair<int, int> Place(int z)
{
    static const int periodStart[] = {1, 3, 11, 19, 37, 55, 87, 119};
    if (z >= 57 && z <= 71)
        return {4 + (z - 57), 8};
    if (z >= 89 && z <= 103)
        return {4 + (z - 89), 9};
    int period = 0;
    while (period < 7 && z >= periodStart[period + 1])
        ++period;
    const int k = z - periodStart[period]; // position in the period
    if (period == 0)
        return {z == 1 ? 1 : 18, 1};
    if (period <= 2)
        return {k < 2 ? k + 1 : k + 11, period + 1};
    if (period <= 4)
        return {k + 1, period + 1};
    // Periods 6 and 7: the f-block sits below; group 3's place stays empty.
    if (k < 2)
        return {k + 1, period + 1};
    return {k - 14 + 1, period + 1};
}
} // namespace

void CAcquireElementBtn::mouseReleaseEvent(QMouseEvent* e)
{
    setDown(false);
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()) && onChoose)
        onChoose(this);
}

void CAcquireElementBtn::keyPressEvent(QKeyEvent* e)
{
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Return) && onChoose) {
        onChoose(this);
        return;
    }
    QPushButton::keyPressEvent(e);
}

CAcquirePeriodicTable::CAcquirePeriodicTable(QWidget* parent, std::vector<CRegion*>* list, const CPkLib* lib,
                                             bool auger,
                                             std::function<void(const CPkLibElement*, int)> addRegion,
                                             std::function<void(int)> regionDeleted)
    : CDialog(parent), m_pRgnList(list), m_pLib(lib), m_bAuger(auger), m_addRegion(std::move(addRegion)),
      m_regionDeleted(std::move(regionDeleted))
{
    setObjectName(QStringLiteral("IDD_PERIODIC_TABLE"));
    setWindowTitle(QStringLiteral("Periodic Table"));
}

bool CAcquirePeriodicTable::OnInitDialog()
{
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    const QFontMetrics fm(font());
    const int side = fm.horizontalAdvance(QStringLiteral("Mm")) + 14;
    for (int z = 1; z <= 109; ++z) {
        if (z == 108)
            continue;
        const bool named = z <= int(std::size(kSymbols));
        const CPkLibElement* e =
            named && z <= 99 && m_pLib ? m_pLib->GetElement(std::string(kSymbols[z - 1])) : nullptr;
        const QString label = named ? QString::fromLatin1(kSymbols[z - 1]) : QString::number(z);
        int index = -1;
        for (int i = 0; e && i < m_pLib->GetSize(); ++i)
            if (m_pLib->GetElement(i) == e)
                index = i;
        auto* b = new CAcquireElementBtn(label, index, this);
        b->setObjectName(z <= 99 ? QStringLiteral("id_%1").arg(8001 + z - 1)
                                 : QStringLiteral("id_%1").arg(8400 + z - 100));
        b->setFixedSize(side, side);
        b->setEnabled(e != nullptr && z < 93 && (e->GetNumPhotoPeaks() + e->GetNumAugerPeaks()) > 0);
        auto [group, period] = Place(z);
        grid->addWidget(b, period >= 8 ? period + 1 : period, group);
        if (e) {
            b->onChoose = [this](CAcquireElementBtn* btn) { OnElement(btn); };
            m_buttons.push_back(b);
        }
    }
    grid->setRowMinimumHeight(8, side / 3);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("IDCANCEL"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    grid->addWidget(close, 10, 1, 1, 2);
    setLayout(grid);
    Recheck();
    return true;
}

CAcquireElementBtn* CAcquirePeriodicTable::Button(int element) const
{
    for (auto* b : m_buttons)
        if (b->Index() == element)
            return b;
    return nullptr;
}

void CAcquirePeriodicTable::Recheck()
{
    for (auto* b : m_buttons) {
        const std::string symbol = Utf8ToCp1252(b->text().toStdString());
        bool any = false;
        for (const CRegion* r : *m_pRgnList)
            any = any || r->GetName() == symbol;
        b->setChecked(any);
    }
}

QMenu* CAcquirePeriodicTable::BuildMenu(int element, int* ticked)
{
    const CPkLibElement* e = m_pLib->GetElement(element);
    auto* menu = new QMenu(this);
    *ticked = 0;
    const int photo = e->GetNumPhotoPeaks();
    const int total = photo + e->GetNumAugerPeaks();
    int defaultPeak = -1;
    for (int i = 0; i < total; ++i)
        if (e->GetPeak(i)->m_bDefaultPeak)
            defaultPeak = i;
    for (int i = m_bAuger ? photo : 0; i < total; ++i) {
        const CPkLibPeak* p = e->GetPeak(i);
        const std::string text =
            FormatPrintf(i == defaultPeak ? "%s\t%g*" : "%s\t%g", p->m_csRegion.c_str(), p->m_dPeak);
        QAction* a = menu->addAction(QString::fromStdString(Cp1252ToUtf8(text)));
        a->setCheckable(true);
        a->setData(i);
        bool has = false;
        for (const CRegion* r : *m_pRgnList)
            has = has || (r->GetName() == e->GetSymbol() && r->m_iRegion == i);
        a->setChecked(has);
        *ticked += has ? 1 : 0;
    }
    return menu;
}

void CAcquirePeriodicTable::Choose(int element, int peak)
{
    const CPkLibElement* e = m_pLib->GetElement(element);
    for (size_t i = 0; i < m_pRgnList->size(); ++i) {
        CRegion* r = (*m_pRgnList)[i];
        if (r->GetName() == e->GetSymbol() && r->m_iRegion == peak) {
            m_pRgnList->erase(m_pRgnList->begin() + long(i));
            delete r;
            if (m_regionDeleted)
                m_regionDeleted(int(i));
            Recheck();
            return;
        }
    }
    if (m_addRegion)
        m_addRegion(e, peak);
    Recheck();
}

void CAcquirePeriodicTable::OnElement(CAcquireElementBtn* b)
{
    int ticked = 0;
    std::unique_ptr<QMenu> menu(BuildMenu(b->Index(), &ticked));
    b->setChecked(true);
    QAction* chosen = menu->exec(b->mapToGlobal(QPoint(0, b->height())));
    if (chosen)
        Choose(b->Index(), chosen->data().toInt());
    else
        Recheck();
}
