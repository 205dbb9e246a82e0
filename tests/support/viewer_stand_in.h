#pragma once

// A stand-in for the desktop's xdg-open, first on PATH while it lives: instead of opening
// anything it writes down how it was started, so a test can read what the desktop would have
// been asked to open. Header-only, for the window's tests.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

namespace sornafex::test {

class TViewerStandIn {
public:
    TViewerStandIn() : m_oldPath(qgetenv("PATH")) {
        const QString bin = m_root.filePath(QStringLiteral("bin"));
        m_record = m_root.filePath(QStringLiteral("record.txt"));
        if (!m_root.isValid() || !QDir().mkpath(bin))
            return;
        QFile viewer(bin + QStringLiteral("/xdg-open"));
        if (!viewer.open(QIODevice::WriteOnly))
            return;
        viewer.write(
            QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" \"$PWD\" > \"%1.tmp\"\n"
                           "mv \"%1.tmp\" \"%1\"\n")
                .arg(m_record)
                .toUtf8());
        viewer.close();
        viewer.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", bin.toUtf8() + ':' + m_oldPath);
        m_valid = true;
    }
    ~TViewerStandIn() { qputenv("PATH", m_oldPath); }
    TViewerStandIn(const TViewerStandIn&) = delete;
    TViewerStandIn& operator=(const TViewerStandIn&) = delete;

    bool Valid() const { return m_valid; }
    // Once the stand-in has run: the number of its arguments, its first argument and its working
    // folder. Empty when it did not run within ten seconds.
    QStringList WaitForRecord() const {
        QFile result(m_record);
        for (int i = 0; i < 500 && !result.exists(); ++i)
            QTest::qWait(20);
        if (!result.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(result.readAll()).split(QLatin1Char('\n'));
    }

private:
    QTemporaryDir m_root;
    QByteArray m_oldPath;
    QString m_record;
    bool m_valid = false;
};

} // namespace sornafex::test
