#include "app/Options.h"

#include "app/Veltrane.h"
#include "data/Registry.h"
#include "data/Update.h"
#include "data/VeltraneDoc.h"
#include "framework/ui/DocTemplate.h"
#include "framework/ui/Resources.h"
#include "platform/Strings.h"
#include "res/resource.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QGroupBox* RadioGroup(QWidget* parent, const char* title,
                      std::initializer_list<std::pair<const char*, const char*>> radios)
{
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    auto* layout = new QVBoxLayout(box);
    for (auto& [name, text] : radios) {
        auto* r = new QRadioButton(QString::fromLatin1(text), box);
        r->setObjectName(QString::fromLatin1(name));
        layout->addWidget(r);
    }
    layout->addStretch();
    return box;
}

} // namespace

COptionsSpecDisp::COptionsSpecDisp() : CPropertyPage(QStringLiteral("Spectrum Display"))
{
    setObjectName(QStringLiteral("IDD_OPTIONS_SPECDISP"));
}

void COptionsSpecDisp::BuildControls()
{
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(
        RadioGroup(this, "Fullscale Maximum",
                   {{"IDC_OPT_SPECDISP_MAXSPEC", "Spectrum"}, {"IDC_OPT_SPECDISP_MAXRGN", "Region"}}));
    layout->addWidget(RadioGroup(
        this, "Profile", {{"IDC_OPT_SPECDISP_STACKED", "Stacked"}, {"IDC_OPT_SPECDISP_OFFSET", "Offset"}}));
    QGroupBox* minimum = RadioGroup(this, "Fullscale Minimum",
                                    {{"IDC_OPT_SPECDISP_MINSPEC", "Spectrum"},
                                     {"IDC_OPT_SPECDISP_MINRGN", "Region"},
                                     {"IDC_OPT_SPECDISP_MINZERO", "Zero"}});
    // The minimum is shown but cannot be changed here.
    minimum->setEnabled(false);
    layout->addWidget(minimum);
}

int COptionsSpecDisp::MinIndex(int32_t fullscale)
{
    switch (fullscale & 7) {
    case 1:
        return 0;
    case 2:
        return 1;
    case 4:
        return 2;
    default:
        return -1;
    }
}

int COptionsSpecDisp::MaxIndex(int32_t fullscale)
{
    switch (fullscale & 0x300) {
    case 0x100:
        return 0;
    case 0x200:
        return 1;
    default:
        return -1;
    }
}

int COptionsSpecDisp::ProfileIndex(int32_t profile)
{
    switch (profile & 3) {
    case 1:
        return 0;
    case 2:
        return 1;
    default:
        return -1;
    }
}

bool COptionsSpecDisp::OnInitDialog()
{
    // The controls are made when the page is first shown: the sheet that start-up
    // makes for the defaults never shows it.
    if (!layout())
        BuildControls();
    m_iMinRadio = MinIndex(COptions::GetFullscaleMode());
    m_iMaxRadio = MaxIndex(COptions::GetFullscaleMode());
    m_iProfileRadio = ProfileIndex(COptions::GetProfileMode());
    return CPropertyPage::OnInitDialog();
}

void COptionsSpecDisp::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, "IDC_OPT_SPECDISP_MAXSPEC", m_iMaxRadio);
    DDX_Radio(pDX, "IDC_OPT_SPECDISP_MINSPEC", m_iMinRadio);
    DDX_Radio(pDX, "IDC_OPT_SPECDISP_STACKED", m_iProfileRadio);
}

void COptionsSpecDisp::OnOK()
{
    CPropertyPage::OnOK();
    int32_t& fullscale = CRegistry::m_COptions.m_iFullscaleMode;
    int32_t& profile = CRegistry::m_COptions.m_iProfileMode;
    int32_t oldProfile = profile;
    fullscale = 0;
    profile = 0;
    static constexpr int32_t minBits[] = {1, 2, 4};
    static constexpr int32_t maxBits[] = {0x100, 0x200};
    static constexpr int32_t profileBits[] = {1, 2};
    if (m_iMinRadio >= 0 && m_iMinRadio < 3)
        fullscale |= minBits[m_iMinRadio];
    if (m_iMaxRadio >= 0 && m_iMaxRadio < 2)
        fullscale |= maxBits[m_iMaxRadio];
    if (m_iProfileRadio >= 0 && m_iProfileRadio < 2)
        profile |= profileBits[m_iProfileRadio];
    if (profile == oldProfile)
        return;
    // Only a change of the profile mode is announced; the full-scale word is
    // read by the views whenever they lay themselves out.
    if (CMultiDocTemplate* t = CVeltrane::GetSpectrumTemplate()) {
        SDispModeUpdate hint;
        for (CDocument* d : t->GetDocuments())
            if (auto* doc = dynamic_cast<CVeltraneDoc*>(d))
                doc->UpdateAllViews(nullptr, reinterpret_cast<intptr_t>(&hint), nullptr);
    }
}

COptions::COptions(QWidget* parent) : CPropertySheet(ToQString(LoadString(1093)), parent, 0)
{
    setObjectName(QStringLiteral("COptions"));
    if (CRegistry::m_COptions.m_iFullscaleMode == 0)
        CRegistry::m_COptions.m_iFullscaleMode = DefaultFullscale;
    if (CRegistry::m_COptions.m_iProfileMode == 0)
        CRegistry::m_COptions.m_iProfileMode = DefaultProfile;
    AddPage(&m_SpecDisp);
}

COptions::~COptions() = default;

int32_t COptions::GetFullscaleMode()
{
    return CRegistry::m_COptions.m_iFullscaleMode;
}

int32_t COptions::GetProfileMode()
{
    return CRegistry::m_COptions.m_iProfileMode;
}
