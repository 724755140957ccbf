#include "platform/Settings.h"

#include "platform/AtomicFileWriter.h"
#include "platform/Cp1252.h"
#include "platform/Exceptions.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <atomic>
#include <charconv>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <unistd.h>

const char* const kProfileKeyPath = "Software\\Kestrin (UK) Ltd\\Veltrane";

namespace {

std::mutex g_locationLock;
std::string g_userFile;
std::string g_machineFile;

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string DefaultFile(CSettingsKey::Scope scope)
{
    if (scope == CSettingsKey::LocalMachine) {
        if (const char* file = std::getenv("VELTRANE_MACHINE_CONFIG"); file && *file)
            return file;
        return "/etc/xdg/Kestrin (UK) Ltd/Veltrane.ini";
    }
    std::string base;
    // A relative XDG_CONFIG_HOME is invalid and must be ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        base = xdg;
    else
        base = HomeDirectory() + "/.config";
    return base + "/Kestrin (UK) Ltd/Veltrane.ini";
}

// "Software\Kestrin (UK) Ltd\Veltrane" becomes the INI group
// "Software/Kestrin (UK) Ltd/Veltrane"; doubled and outer separators fall away.
QString GroupOf(const std::string& keyPath)
{
    QString group;
    std::string part;
    auto flush = [&] {
        if (part.empty())
            return;
        if (!group.isEmpty())
            group += QLatin1Char('/');
        group += QString::fromStdString(Cp1252ToUtf8(part));
        part.clear();
    };
    for (const char c : keyPath) {
        if (c == '\\' || c == '/')
            flush();
        else
            part += c;
    }
    flush();
    return group;
}

// Value names may hold '/' and '\', which INI would read as groups: those and
// '%' are written as %XX. The unnamed (default) value is "%00".
QString EncodeName(const std::string& name)
{
    if (name.empty())
        return QStringLiteral("%00");
    std::string out;
    for (const char c : name) {
        if (c == '%' || c == '/' || c == '\\') {
            static const char hex[] = "0123456789ABCDEF";
            out += '%';
            out += hex[(unsigned char)c >> 4];
            out += hex[(unsigned char)c & 15];
        } else {
            out += c;
        }
    }
    return QString::fromStdString(Cp1252ToUtf8(out));
}

std::string DecodeName(const QString& encoded)
{
    if (encoded == QLatin1String("%00"))
        return std::string();
    const std::string s = Utf8ToCp1252(encoded.toStdString());
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned v = 0;
        if (s[i] == '%' && i + 2 < s.size() &&
            std::from_chars(s.data() + i + 1, s.data() + i + 3, v, 16).ptr == s.data() + i + 3) {
            out += char(v);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string Trim(std::string s)
{
    const size_t b = s.find_first_not_of(" \t");
    const size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Whole text only; "0x" hexadecimal as hand-written machine files use for ids.
bool ParseInteger(const std::string& text, long long& value)
{
    std::string s = Trim(text);
    bool negative = false;
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    int base = 10;
    if (s.size() - i > 2 && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    unsigned long long magnitude = 0;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    const auto [ptr, ec] = std::from_chars(first, last, magnitude, base);
    if (first == last || ec != std::errc() || ptr != last || magnitude > (1ull << 33))
        return false;
    value = negative ? -(long long)magnitude : (long long)magnitude;
    return true;
}

// The text of a value as INI holds it: a list appears when an unquoted
// hand-written value has commas, and is put back together.
bool ValueText(const QVariant& v, std::string& utf8)
{
    if (!v.isValid())
        return false;
    if (v.typeId() == QMetaType::QStringList) {
        utf8 = v.toStringList().join(QLatin1Char(',')).toStdString();
        return true;
    }
    if (v.typeId() == QMetaType::QByteArray) {
        utf8 = v.toByteArray().toStdString();
        return true;
    }
    if (!v.canConvert<QString>())
        return false;
    utf8 = v.toString().toStdString();
    return true;
}

// A binary value whose line was cut short (a file written only in part) has
// lost its closing parenthesis, and QSettings hands it back as text: the
// marker, then the bytes before the cut, one character each. Those bytes are
// the value as far as it goes, less the last, which may be half an escape
// ("\x1" of "\x1f"). Read as text, the marker would become the first bytes of
// the value and every field would be read from the wrong place.
std::optional<QByteArray> CutBinaryBytes(const QString& s)
{
    static const QLatin1StringView marker("@ByteArray(");
    if (s.isEmpty() || s.front() != QLatin1Char('@'))
        return std::nullopt;
    if (s.size() <= marker.size())
        return marker.startsWith(s) ? std::optional<QByteArray>(QByteArray()) : std::nullopt;
    if (!s.startsWith(marker))
        return std::nullopt;
    QByteArray bytes;
    bytes.reserve(s.size() - marker.size());
    for (qsizetype i = marker.size(); i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c > 0xFF)
            return std::nullopt; // not bytes: a text of its own
        bytes.append(char(c));
    }
    bytes.chop(1);
    return bytes;
}

// INI text in a scratch file of a name of its own: QSettings keeps what it
// has read of a file by its name.
QString ScratchFile(const QString& folder, const QByteArray& text)
{
    static std::atomic<int> serial{0};
    const QString path = folder + QStringLiteral("/%1.ini").arg(++serial);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
        return QString();
    return path;
}

// Every key of INI text with its value, as a reader that has parsed it all
// finds them.
std::optional<QMap<QString, QVariant>> ReadIni(const QByteArray& text, const QString& folder)
{
    const QString path = ScratchFile(folder, text);
    if (path.isEmpty())
        return std::nullopt;
    QMap<QString, QVariant> map;
    {
        QSettings s(path, QSettings::IniFormat);
        for (const QString& k : s.allKeys())
            if (!k.isEmpty())
                map.insert(k, s.value(k));
    }
    QFile::remove(path);
    return map;
}

// What a lookup of the keys finds in INI text. QSettings parses only the
// sections a lookup needs, so a value that a whole parse lists may still be
// missed by a lookup (a key written under "[a]" as "b\k" where a section
// "[a\b]" exists): each key is looked up by a reader of its own.
std::optional<QMap<QString, QVariant>> LookUp(const QByteArray& text, const QStringList& keys,
                                              const QString& folder)
{
    QMap<QString, QVariant> map;
    for (const QString& k : keys) {
        if (k.isEmpty())
            continue;
        const QString path = ScratchFile(folder, text);
        if (path.isEmpty())
            return std::nullopt;
        map.insert(k, QSettings(path, QSettings::IniFormat).value(k));
        QFile::remove(path);
    }
    return map;
}

// The machine configuration is a file that a service engineer keeps by hand,
// with comments and a layout of their own, and QSettings would write it anew
// without them. So a value is written there by changing its one line, or
// adding one, in the text as it stands. QSettings itself judges each edit: the
// edited text must read as the old one with this value set. Returns nullopt,
// having changed nothing, when there is no such file or no such edit (the
// caller then lets QSettings write the file); else whether the file was written.
std::optional<bool> WriteInPlace(const QString& file, const QString& key, const QVariant& value)
{
    constexpr qsizetype kMaxText = 16 * 1024; // every edit tried is read in full
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > kMaxText)
        return std::nullopt;
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return std::nullopt;
    // The lock of QSettings' own writes: another copy of the program writing
    // at the same moment waits.
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.lock())
        return std::nullopt;
    QByteArray text;
    {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        text = f.readAll();
        if (f.error() != QFileDevice::NoError || text.size() > kMaxText)
            return std::nullopt;
    }
    // What QSettings writes for this value alone: "[section]" and "path\name=value".
    QByteArray block;
    {
        const QString path = scratch.filePath(QStringLiteral("value.ini"));
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue(key, value);
            s.sync();
            if (s.status() != QSettings::NoError)
                return std::nullopt;
        }
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return std::nullopt;
        block = f.readAll();
    }
    const QList<QByteArray> blockLines = block.split('\n');
    if (blockLines.size() < 2 || !blockLines[0].startsWith('[') || !blockLines[0].endsWith(']') ||
        !blockLines[1].contains('='))
        return std::nullopt;
    const QByteArray section = blockLines[0].mid(1, blockLines[0].size() - 2);
    const qsizetype eq = blockLines[1].indexOf('=');
    const QByteArray escapedKey = section + '\\' + blockLines[1].left(eq);
    const QByteArray valueText = blockLines[1].mid(eq + 1);
    const qsizetype sep = escapedKey.lastIndexOf('\\');
    const QByteArray escapedGroup = escapedKey.left(sep);
    const QByteArray escapedName = escapedKey.mid(sep + 1);

    const auto own = ReadIni(block, scratch.path());
    auto expected = ReadIni(text, scratch.path());
    if (!own || !expected || !own->contains(key))
        return std::nullopt;
    expected->insert(key, own->value(key));
    const QMap<QString, QVariant> ownLookUp{{key, own->value(key)}};
    // A changed value or a line added to a section leaves the sections as they
    // were, so only this key's look-up can have changed; a new section can
    // change any key's.
    auto works = [&](const QByteArray& edited, bool newSection) {
        return ReadIni(edited, scratch.path()) == expected &&
               LookUp(edited, newSection ? expected->keys() : QStringList{key}, scratch.path()) ==
                   (newSection ? expected : ownLookUp);
    };

    const QByteArray eol = text.contains("\r\n") ? "\r\n" : "\n";
    const QList<QByteArray> lines = text.split('\n');
    auto isKeyLine = [](const QByteArray& line) {
        const QByteArray t = line.trimmed();
        return t.contains('=') && !t.startsWith(';') && !t.startsWith('#') && !t.startsWith('[');
    };
    const std::optional<QByteArray> edited = [&]() -> std::optional<QByteArray> {
        // The value changed on a line of its own; the last one counts where a key
        // is doubled. Only lines whose key ends in the name are tried.
        const QByteArray plainName = key.section(QLatin1Char('/'), -1).toUtf8();
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            const QByteArray& line = lines[i];
            const QByteArray lineKey = line.left(line.indexOf('=')).trimmed();
            if (!isKeyLine(line) || !(lineKey.endsWith(escapedName) || lineKey.endsWith(plainName)))
                continue;
            qsizetype at = line.indexOf('=') + 1;
            while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
                ++at;
            QList<QByteArray> candidate = lines;
            candidate[i] = line.left(at) + valueText + (line.endsWith('\r') ? "\r" : "");
            if (works(candidate.join('\n'), false))
                return candidate.join('\n');
        }
        // A new line after the last value of a section (of the last few
        // sections): by its name in the key's own section, or by its path below
        // the top group in a section of that group, as QSettings writes it.
        int sections = 0;
        for (qsizetype i = lines.size() - 1; i >= 0 && sections < 16; --i) {
            if (!isKeyLine(lines[i]) || (i + 1 < lines.size() && isKeyLine(lines[i + 1])))
                continue;
            ++sections;
            for (const QByteArray& keyText : {escapedName, blockLines[1].left(eq)}) {
                QList<QByteArray> candidate = lines;
                candidate.insert(i + 1, keyText + '=' + valueText + (lines[i].endsWith('\r') ? "\r" : ""));
                if (works(candidate.join('\n'), false))
                    return candidate.join('\n');
            }
        }
        // A section of its own at the end.
        QByteArray appended = text;
        if (!appended.isEmpty() && !appended.endsWith('\n'))
            appended += eol;
        appended += '[' + escapedGroup + ']' + eol + escapedName + '=' + valueText + eol;
        if (works(appended, true))
            return appended;
        return std::nullopt;
    }();
    if (!edited)
        return std::nullopt;
    try {
        CAtomicFileWriter writer(file.toStdString());
        writer.File().Write(edited->constData(), size_t(edited->size()));
        writer.Commit();
    } catch (const CFileException&) {
        return false;
    }
    return true;
}

// Whether the INI file holds the value as QSettings would read it back (or,
// for nullopt, no longer holds the key).
bool Landed(const QString& file, const QString& key, const std::optional<QVariant>& value)
{
    QTemporaryDir scratch;
    QFile f(file);
    if (!scratch.isValid() || !f.open(QIODevice::ReadOnly))
        return false;
    const auto stored = ReadIni(f.readAll(), scratch.path());
    if (!stored || f.error() != QFileDevice::NoError)
        return false;
    if (!value)
        return !stored->contains(key);
    QMap<QString, QVariant> own;
    {
        const QString path = scratch.filePath(QStringLiteral("value.ini"));
        {
            QSettings s(path, QSettings::IniFormat);
            s.setValue(key, *value);
        }
        QFile written(path);
        if (!written.open(QIODevice::ReadOnly))
            return false;
        const auto read = ReadIni(written.readAll(), scratch.path());
        if (!read)
            return false;
        own = *read;
    }
    return stored->contains(key) && own.contains(key) && stored->value(key) == own.value(key);
}

} // namespace

void SetSettingsLocations(const std::string& userFile, const std::string& machineFile)
{
    std::lock_guard<std::mutex> guard(g_locationLock);
    g_userFile = userFile;
    g_machineFile = machineFile;
}

std::string GetSettingsFile(CSettingsKey::Scope scope)
{
    {
        std::lock_guard<std::mutex> guard(g_locationLock);
        const std::string& set = scope == CSettingsKey::LocalMachine ? g_machineFile : g_userFile;
        if (!set.empty())
            return set;
    }
    return DefaultFile(scope);
}

// ---------------------------------------------------------------------------

struct CSettingsKey::SImpl
{
    QSettings settings;
    QString group;
    SImpl(const std::string& file, QString g)
        : settings(QString::fromStdString(file), QSettings::IniFormat), group(std::move(g))
    {
    }
    QString Key(const std::string& name) const
    {
        return group.isEmpty() ? EncodeName(name) : group + QLatin1Char('/') + EncodeName(name);
    }
    // value: what was set; nullopt for a removed value.
    bool Commit(const QString& key, const std::optional<QVariant>& value)
    {
        settings.sync();
        if (settings.status() != QSettings::FormatError)
            return settings.status() == QSettings::NoError;
        // A line QSettings cannot read (a comment after '#' in a file edited by
        // hand) is reported by every sync, whether the write reached the file
        // or not: the file tells.
        return Landed(settings.fileName(), key, value);
    }
    // Every write goes through here.
    bool Set(CSettingsKey::Scope scope, const std::string& name, const QVariant& value)
    {
        if (scope == CSettingsKey::LocalMachine) {
            if (const auto written = WriteInPlace(settings.fileName(), Key(name), value)) {
                settings.sync(); // reads the file anew
                return *written;
            }
        }
        settings.setValue(Key(name), value);
        return Commit(Key(name), value);
    }
};

CSettingsKey::CSettingsKey(Scope scope, const std::string& keyPath)
    : CSettingsKey(scope, keyPath, scope == CurrentUser)
{
}

CSettingsKey::CSettingsKey(Scope scope, const std::string& keyPath, bool writable)
    : m_scope(scope), m_path(keyPath), m_writable(writable),
      m_impl(std::make_unique<SImpl>(GetSettingsFile(scope), GroupOf(keyPath)))
{
}

CSettingsKey CSettingsKey::OpenMachineForWrite(const std::string& keyPath)
{
    return CSettingsKey(LocalMachine, keyPath, true);
}

CSettingsKey::~CSettingsKey() = default;
CSettingsKey::CSettingsKey(CSettingsKey&&) noexcept = default;
CSettingsKey& CSettingsKey::operator=(CSettingsKey&&) noexcept = default;

CSettingsKey CSettingsKey::OpenSubKey(const std::string& name) const
{
    return CSettingsKey(m_scope, m_path + "\\" + name, m_writable);
}

bool CSettingsKey::KeyExists() const
{
    QSettings& s = m_impl->settings;
    s.beginGroup(m_impl->group);
    const bool exists = !s.childKeys().isEmpty() || !s.childGroups().isEmpty();
    s.endGroup();
    return exists;
}

bool CSettingsKey::HasValue(const std::string& name) const
{
    return m_impl->settings.contains(m_impl->Key(name));
}

bool CSettingsKey::ReadBinary(const std::string& name, std::vector<uint8_t>& value) const
{
    const QVariant v = m_impl->settings.value(m_impl->Key(name));
    if (!v.isValid())
        return false;
    QByteArray bytes;
    if (v.typeId() == QMetaType::QByteArray)
        bytes = v.toByteArray();
    else if (v.typeId() == QMetaType::QString)
        bytes = CutBinaryBytes(v.toString()).value_or(v.toString().toUtf8());
    else
        return false;
    value.assign(bytes.begin(), bytes.end());
    return true;
}

bool CSettingsKey::ReadUtf8String(const std::string& name, std::string& value) const
{
    std::string text;
    if (!ValueText(m_impl->settings.value(m_impl->Key(name)), text))
        return false;
    value = std::move(text);
    return true;
}

bool CSettingsKey::ReadString(const std::string& name, std::string& value) const
{
    std::string text;
    if (!ReadUtf8String(name, text))
        return false;
    value = Utf8ToCp1252(text);
    return true;
}

bool CSettingsKey::ReadInt(const std::string& name, int32_t& value) const
{
    std::string text;
    long long v;
    // Registry values are 32 bits: a DWORD above INT32_MAX reads as its negative int.
    if (!ReadUtf8String(name, text) || !ParseInteger(text, v) || v < INT32_MIN || v > int64_t(UINT32_MAX))
        return false;
    value = int32_t(uint32_t(v));
    return true;
}

bool CSettingsKey::ReadDWord(const std::string& name, uint32_t& value) const
{
    int32_t v;
    if (!ReadInt(name, v))
        return false;
    value = uint32_t(v);
    return true;
}

bool CSettingsKey::ReadDouble(const std::string& name, double& value) const
{
    std::string text;
    if (!ReadUtf8String(name, text))
        return false;
    text = Trim(text);
    double v;
    const char* first = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
    const auto [ptr, ec] = std::from_chars(first, text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
        return false;
    value = v;
    return true;
}

bool CSettingsKey::WriteBinary(const std::string& name, const void* data, size_t size)
{
    if (!m_writable)
        return false;
    return m_impl->Set(m_scope, name, QByteArray(static_cast<const char*>(data), qsizetype(size)));
}

bool CSettingsKey::WriteBinary(const std::string& name, const std::vector<uint8_t>& value)
{
    return WriteBinary(name, value.data(), value.size());
}

bool CSettingsKey::WriteUtf8String(const std::string& name, const std::string& value)
{
    if (!m_writable)
        return false;
    return m_impl->Set(m_scope, name, QString::fromStdString(value));
}

bool CSettingsKey::WriteString(const std::string& name, const std::string& value)
{
    return WriteUtf8String(name, Cp1252ToUtf8(value));
}

bool CSettingsKey::WriteInt(const std::string& name, int32_t value)
{
    return WriteUtf8String(name, std::to_string(value));
}

bool CSettingsKey::WriteDWord(const std::string& name, uint32_t value)
{
    return WriteUtf8String(name, std::to_string(value));
}

bool CSettingsKey::WriteDouble(const std::string& name, double value)
{
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, value); // shortest exact form
    return WriteUtf8String(name, std::string(buf, res.ptr));
}

bool CSettingsKey::DeleteValue(const std::string& name)
{
    if (!m_writable)
        return false;
    m_impl->settings.remove(m_impl->Key(name));
    return m_impl->Commit(m_impl->Key(name), std::nullopt);
}

std::vector<std::string> CSettingsKey::EnumValueNames() const
{
    QSettings& s = m_impl->settings;
    s.beginGroup(m_impl->group);
    const QStringList keys = s.childKeys();
    s.endGroup();
    std::vector<std::string> names;
    for (const QString& k : keys)
        names.push_back(DecodeName(k));
    return names;
}

std::vector<std::string> CSettingsKey::EnumSubKeyNames() const
{
    QSettings& s = m_impl->settings;
    s.beginGroup(m_impl->group);
    const QStringList groups = s.childGroups();
    s.endGroup();
    std::vector<std::string> names;
    for (const QString& g : groups)
        names.push_back(Utf8ToCp1252(g.toStdString()));
    return names;
}

// ---------------------------------------------------------------------------

namespace {

CSettingsKey ProfileKey(const std::string& section)
{
    return CSettingsKey(CSettingsKey::CurrentUser, std::string(kProfileKeyPath) + "\\" + section);
}

} // namespace

std::string GetProfileString(const std::string& section, const std::string& entry,
                             const std::string& defaultValue)
{
    std::string value;
    return ProfileKey(section).ReadUtf8String(entry, value) ? value : defaultValue;
}

int GetProfileInt(const std::string& section, const std::string& entry, int defaultValue)
{
    int32_t value;
    return ProfileKey(section).ReadInt(entry, value) ? value : defaultValue;
}

bool WriteProfileString(const std::string& section, const std::string& entry, const std::string& value)
{
    return ProfileKey(section).WriteUtf8String(entry, value);
}

bool WriteProfileInt(const std::string& section, const std::string& entry, int value)
{
    return ProfileKey(section).WriteInt(entry, value);
}
