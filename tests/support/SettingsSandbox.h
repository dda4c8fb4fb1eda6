// Points the per-user settings at a fresh temporary folder for the life of a test.
#pragma once

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

class SettingsSandbox {
public:
    SettingsSandbox() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_dir.path());
    }
    QString Path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};
