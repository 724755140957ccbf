// Foreign files through the program: Norvale and VAMAS files open from File
// Open into the spectrum template, an imported file is saved in the own format
// only beside it, and Save As VAMAS writes a file the reader takes back, or
// says why it cannot.

#include "../app/AppFixture.h"
#include "../formats/Fixtures.h"

#include "app/DocCommands.h"
#include "app/FileFormats.h"
#include "data/SpecRgn.h"
#include "data/Trace.h"
#include "data/VeltraneDoc.h"
#include "data/formats/Norvale.h"
#include "platform/File.h"
#include "platform/Settings.h"
#include "res/resource.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>

namespace {

class ImportExport : public AppFixture
{
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        InstallFileFormats();
    }
    void TearDown() override
    {
        AppFixture::TearDown();
        CVeltraneDocCommands::s_saveAsVamas = nullptr;
        CNorvale::SetProfileAccess(nullptr);
    }

    QString WriteText(const QString& name, const std::string& text)
    {
        return WriteBytes(name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    static QByteArray Contents(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    CVeltraneDoc* Open(const QString& path)
    {
        return dynamic_cast<CVeltraneDoc*>(app->OpenDocumentFile(path.toStdString().c_str()));
    }
    CVeltraneDocCommands* Commands(CDocument* doc)
    {
        return dynamic_cast<CVeltraneDocCommands*>(CVeltrane::GetSpectrumTemplate()->GetCommands(doc));
    }
    // The values of level 0 of region 0 of the first position.
    static std::vector<double> Ordinates(const CVeltraneDoc& doc)
    {
        const CStagePosn* p = doc.GetStagePosn(0);
        const CSpecRgn* r = p ? p->GetSpecRgn(0) : nullptr;
        const CTrace* t = r && r->GetNumTraces() > 0 ? r->GetTrace(0) : nullptr;
        if (!t || !t->GetData())
            return {};
        return std::vector<double>(t->GetData(), t->GetData() + t->GetNumPoints());
    }
    void StartQuiet()
    {
        Start();
        Pump(700); // let start-up reports (no peak library beside the tests) pass
        sink.Clear();
    }

    // Ordinates that a careless number format would round.
    static fixtures::VamasSpec Spec()
    {
        fixtures::VamasSpec v;
        v.blocks[0].values = {1234.5, 0.001953125, 1048576, 3.25, 17.125};
        return v;
    }
};

TEST_F(ImportExport, FileOpenTakesVamasAndNorvaleFilesIntoTheSpectrumTemplate)
{
    StartQuiet();
    const QString vamas = WriteText("scan.npl", fixtures::BuildVamas(Spec()));
    const QString norvale = WriteBytes("older.dat", fixtures::NorvaleFile{}.Build());
    struct
    {
        QString path;
        std::vector<double> values;
    } const cases[] = {
        {vamas, {1234.5, 0.001953125, 1048576, 3.25, 17.125}},
        {norvale, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    int opened = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        dialogs.Answer(c.path);
        EXPECT_TRUE(Execute(ID_FILE_OPEN));
        ASSERT_EQ(DocCount(CVeltrane::GetSpectrumTemplate()), ++opened);
        auto* doc = dynamic_cast<CVeltraneDoc*>(CVeltrane::GetSpectrumTemplate()->GetDocuments().back());
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->GetPathName(), c.path.toStdString());
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(Ordinates(*doc), c.values);
    }
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(app->GetOpenDocumentCount(), 2);
}

TEST_F(ImportExport, TheVamasReaderKeepsItsTimeZoneEntryInTheUserProfile)
{
    StartQuiet();
    const std::string text = fixtures::BuildVamas(Spec());
    ASSERT_EQ(GetProfileString("Config", "GMT", "missing"), "missing");
    CVeltraneDoc* plain = Open(WriteText("a.npl", text));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(GetProfileString("Config", "GMT", "missing"), "0") << "a missing entry is written";

    ASSERT_TRUE(WriteProfileString("Config", "GMT", "2"));
    CVeltraneDoc* shifted = Open(WriteText("b.npl", text));
    ASSERT_NE(shifted, nullptr);
    EXPECT_NEAR(shifted->GetExperiment()->GetTime()->ToUnixTime() -
                    plain->GetExperiment()->GetTime()->ToUnixTime(),
                7200.0, 0.5);
    EXPECT_EQ(GetProfileString("Config", "GMT"), "2") << "an entry the user set stays";
}

TEST_F(ImportExport, SavingAnImportedVamasDocumentAsksAndWritesADataFileBesideIt)
{
    StartQuiet();
    const QString npl = WriteText("scan.npl", fixtures::BuildVamas(Spec()));
    const QByteArray original = Contents(npl);
    CVeltraneDoc* doc = Open(npl);
    ASSERT_NE(doc, nullptr);
    const std::vector<double> values = Ordinates(*doc);

    sink.Answer(IDYES);
    EXPECT_TRUE(Commands(doc)->DoFileSave());
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0].rfind("The document 'scan.npl' was read from a file of an older format.", 0),
              0u);
    const QString vlt = settings.Path("scan.vlt");
    EXPECT_EQ(doc->GetPathName(), vlt.toStdString());
    EXPECT_EQ(Contents(npl), original) << "the VAMAS file is never overwritten";

    app->CloseAllDocuments(true);
    CVeltraneDoc* again = Open(vlt);
    ASSERT_NE(again, nullptr);
    char name[13] = {};
    again->GetHeader()->GetProgName(name);
    EXPECT_STREQ(name, "Veltrane");
    EXPECT_EQ(Ordinates(*again), values);
}

TEST_F(ImportExport, SaveAsVamasWritesWhatTheReaderReadsBackAndLeavesTheDocumentAlone)
{
    StartQuiet();
    // A depth profile: its etch times must come back as well as its ordinates.
    fixtures::VamasSpec spec = Spec();
    spec.expMode = "SDP";
    spec.expVars = {{"Etch Time", "s"}};
    spec.blocks.resize(5, spec.blocks[0]);
    for (size_t k = 0; k < spec.blocks.size(); ++k)
        spec.blocks[k].expVar = 30.0 * static_cast<double>(k);
    CVeltraneDoc* doc = Open(WriteText("scan.npl", fixtures::BuildVamas(spec)));
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(doc->GetStagePosn(0)->GetNumLevels(), 5);
    // Saved once in the own format, then exported from there.
    sink.Answer(IDYES);
    ASSERT_TRUE(Commands(doc)->DoFileSave());
    doc->SetModifiedFlag(true);
    const std::string ownPath = doc->GetPathName();
    sink.Clear();

    const QString out = settings.Path("export.npl");
    dialogs.Answer(out, 2);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    EXPECT_TRUE(sink.Texts().empty());
    EXPECT_EQ(doc->GetPathName(), ownPath) << "an export does not rename the document";
    EXPECT_TRUE(doc->IsModified()) << "an export does not save the document";

    int result = -1;
    CFile file(out.toStdString(), CFile::modeRead);
    CNorvale model(&file, &result);
    ASSERT_EQ(result, 0);
    const CNorvale::Spectrum* s = model.GetSpectrum(0);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->nRgns, 1);
    const std::vector<double> expected = Ordinates(*doc);
    ASSERT_EQ(s->m_pRgns[0].nPts, static_cast<int>(expected.size()));
    const double* got = s->GetRgnData(0, 0);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(got[i], expected[i]) << i;

    // And the program opens it like any VAMAS file.
    CVeltraneDoc* back = Open(out);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Ordinates(*back), expected);
    ASSERT_EQ(back->GetStagePosn(0)->GetNumLevels(), 5);
    for (int l = 0; l < 5; ++l)
        EXPECT_EQ(back->GetStagePosn(0)->GetLevel(l)->GetValue(), 30.0 * l) << "level " << l;
}

TEST_F(ImportExport, SaveAsVamasOfADocumentWithoutAVamasFormSaysWhyAndWritesNothing)
{
    StartQuiet();
    CDataFileBuilder b;
    b.Header().Experiment(0x201).Source().IonGun();
    size_t at = b.BeginPosn(CDataFileBuilder::SPosnHead(), 0);
    b.Count(1).ImageRgn(2, 2, 2, 1);
    b.EndPosn(at);
    b.End();
    ASSERT_NE(Open(WriteBytes("img.vlt", b.m_bytes)), nullptr);
    const QString out = settings.Path("img.npl");
    dialogs.Answer(out, 2);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0],
              "The document 'img.vlt' holds image data, which cannot be saved as a VAMAS file.");
    EXPECT_FALSE(QFileInfo::exists(out));

    // A document with no positions has nothing to write.
    sink.Clear();
    CVeltraneDoc empty;
    empty.SetPathName(settings.Path("empty.vlt").toStdString());
    EXPECT_FALSE(SaveAsVamas(empty, out.toStdString()));
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(
        sink.Texts()[0],
        "The document 'empty.vlt' has no analysis positions, so there is nothing to save as a VAMAS file.");
    EXPECT_FALSE(QFileInfo::exists(out));

    // A curve of no points has no block a reader takes: the message names it.
    sink.Clear();
    CDataFileBuilder z;
    z.Header().Experiment().Source().IonGun();
    at = z.BeginPosn(CDataFileBuilder::SPosnHead(), 1);
    z.SpecRgn(0, 1).I32(0);
    z.EndPosn(at);
    z.End();
    ASSERT_NE(Open(WriteBytes("zero.vlt", z.m_bytes)), nullptr);
    dialogs.Answer(out, 2);
    EXPECT_TRUE(Execute(ID_FILE_SAVE_AS));
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0],
              "The document 'zero.vlt' cannot be saved as a VAMAS file: the number of points "
              "of region 'C' at position 1 is outside what the file can hold.");
    EXPECT_FALSE(QFileInfo::exists(out));
}

TEST_F(ImportExport, AFailedVamasExportIsReportedAndLeavesTheOldFileWhole)
{
    StartQuiet();
    fixtures::VamasSpec spec = Spec();
    spec.blocks[0].values.assign(400, 12345.678);
    CVeltraneDoc* doc = Open(WriteText("big.npl", fixtures::BuildVamas(spec)));
    ASSERT_NE(doc, nullptr);

    // A folder that is not there.
    EXPECT_FALSE(SaveAsVamas(*doc, settings.Path("nowhere/x.npl").toStdString()));
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "x.npl contains an incorrect path.");

    // The disk fills half-way through the new file: the old file must survive.
    sink.Clear();
    const QString old = WriteText("old.npl", std::string(6000, 'x'));
    const QByteArray before = Contents(old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2048;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = SaveAsVamas(*doc, old.toStdString());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(written);
    ASSERT_EQ(sink.Texts().size(), 1u);
    EXPECT_EQ(sink.Texts()[0], "There is not enough space on the disk to save old.npl.");
    EXPECT_EQ(Contents(old), before) << "a failed export never leaves a cut file";
    EXPECT_EQ(QDir(settings.Path("")).entryList(QDir::Hidden | QDir::Files).filter(".tmp-").size(), 0)
        << "no temporary file left behind";
}

} // namespace
