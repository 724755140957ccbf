#pragma once
// Fixtures of the instrument user-interface tests: a machine configuration in
// a temporary folder, the two simulators behind the real links, and a modal
// dialog driven by the test.

#include "TestSupport.h"

#include "instrument/ASCU.h"
#include "instrument/Config.h"
#include "instrument/DAU.h"
#include "platform/Settings.h"
#include "tools/ascusim/AscuSimulator.h"
#include "tools/dausim/DauSimulator.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

#include <gtest/gtest.h>

// Settings in a temporary folder, and the machine configuration written there.
struct SMachineConfig
{
    SMachineConfig() { TestApp(); }
    std::string MachineFile() const { return settings.Path("machine.ini").toStdString(); }
    // A copy of a shipped configuration (never the shipped file: OK writes to it).
    void CopyFrom(const char* file)
    {
        QFile::remove(settings.Path("machine.ini"));
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(file), settings.Path("machine.ini")));
        QFile::setPermissions(settings.Path("machine.ini"), QFile::ReadOwner | QFile::WriteOwner);
    }
    CSettingsKey Key() { return CSettingsKey::OpenMachineForWrite(CConfig::KeyPath); }
    // Machine writes fail from now on: the file's folder is a file.
    void BlockWrites()
    {
        QFile blocker(settings.Path("blocker"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.write("x");
        blocker.close();
        SetSettingsLocations(settings.UserFile(), settings.Path("blocker/machine.ini").toStdString());
    }
    double StoredOffset()
    {
        std::vector<uint8_t> bytes;
        double d = -1;
        CSettingsKey key(CSettingsKey::LocalMachine, CConfig::KeyPath);
        if (key.ReadBinary("Offset", bytes) && bytes.size() == sizeof d)
            std::memcpy(&d, bytes.data(), sizeof d);
        return d;
    }
    CTempSettings settings;
};

// The DAU simulator behind the stand-in driver, and the stage-unit simulator on
// a pseudo-terminal, named in the machine configuration as "COM1".
struct SSimulators
{
    explicit SSimulators(const CTempSettings& settings, SDauSimConfig dauConfig = {})
        : m_dau(std::move(dauConfig)), m_server(m_dau, settings.Path("dau.sock").toStdString())
    {
        m_bStarted = m_ascu.Start() && m_server.Start();
        setenv("VELTRANE_ARCNET_SOCKET", m_server.Path().c_str(), 1);
        CSettingsKey key = CSettingsKey::OpenMachineForWrite(CConfig::KeyPath);
        key.WriteDWord("DAU Source ID", 1);
        key.WriteUtf8String("Arcnet Library", VELTRANE_ARCNET_LIBRARY);
        key.WriteString("ASCU Port Name", "COM1");
        key.OpenSubKey(CConfig::PortsKey).WriteUtf8String("COM1", m_ascu.SlavePath());
    }
    ~SSimulators() { m_server.Stop(); }
    CAscuSimulator m_ascu;
    CDauSimulator m_dau;
    CDauSimServer m_server;
    bool m_bStarted = false;
};

// Runs a modal dialog; act runs once the dialog is up and must close it.
template <class D> int RunModal(D& dlg, const std::function<void(D&)>& act)
{
    bool ran = false;
    QTimer::singleShot(0, &dlg, [&] {
        ran = true;
        act(dlg);
        // A test that forgot to close it must not hang.
        if (dlg.isVisible())
            QTimer::singleShot(0, &dlg, [&] { dlg.done(QDialog::Rejected); });
    });
    int r = dlg.DoModal();
    EXPECT_TRUE(ran);
    return r;
}
