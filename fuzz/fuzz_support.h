// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared by the fuzz targets: a scratch folder on a tmpfs where there is one.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <unistd.h>

namespace quillane::fuzz {

struct Harness {
    QString folder;
    Harness() {
        folder = (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                            : QDir::tempPath()) +
                 QStringLiteral("/quillane-fuzz-%1").arg(::getpid());
        QDir().mkpath(folder);
    }
    QString put(const QString& name, const char* data, size_t size) {
        const QString path = folder + u'/' + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(data, qint64(size));
        return path;
    }
};

inline Harness& harness() {
    static Harness h;
    return h;
}

} // namespace quillane::fuzz
