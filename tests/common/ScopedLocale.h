#pragma once
// Puts one locale category of the test process under a named locale (such as
// "tr_TR.UTF-8") and back to what it was when the object goes. A locale the
// system lacks is built into a scratch folder with localedef; Active() is
// false when neither works, and the test should skip.

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

class CScopedLocale
{
public:
    CScopedLocale(int category, const std::string& name)
        : m_category(category), m_saved(std::setlocale(category, nullptr))
    {
        if (std::setlocale(category, name.c_str())) {
            m_active = true;
            return;
        }
        const size_t dot = name.find('.');
        std::string dir = (std::filesystem::temp_directory_path() / "vlt-locale-XXXXXX").string();
        if (dot == std::string::npos || !mkdtemp(dir.data()))
            return;
        m_dir = dir;
        const std::string cmd = "localedef -i " + name.substr(0, dot) + " -f " + name.substr(dot + 1) + " '" +
                                dir + "/" + name + "' >/dev/null 2>&1";
        if (std::system(cmd.c_str()) != 0)
            return;
        setenv("LOCPATH", dir.c_str(), 1);
        m_active = std::setlocale(category, name.c_str()) != nullptr;
        unsetenv("LOCPATH");
    }
    ~CScopedLocale()
    {
        std::setlocale(m_category, m_saved.c_str());
        std::error_code ec;
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir, ec);
    }
    CScopedLocale(const CScopedLocale&) = delete;
    CScopedLocale& operator=(const CScopedLocale&) = delete;

    bool Active() const { return m_active; }

private:
    std::string m_dir;
    int m_category;
    std::string m_saved;
    bool m_active = false;
};
