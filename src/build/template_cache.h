// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/template_file.h"
#include "formats/text_file.h"

#include <QHash>
#include <QString>
#include <memory>
#include <mutex>

namespace quillane {

// Templates as read, kept while their files stay the same (same file, size and change times),
// so that a batch reads each template once instead of once per document. Safe to share
// between threads.
class TemplateCache {
public:
    // seen, when given, is set to the signature the file had when it was looked at (unknown
    // when there was nothing to look at).
    std::shared_ptr<const TemplateRead> read(const QString& path, FileSignature* seen = nullptr);

private:
    struct Entry {
        FileSignature signature;
        std::shared_ptr<const TemplateRead> read;
    };
    static constexpr int kMaxEntries = 64;
    std::mutex m_mutex;
    QHash<QString, Entry> m_entries;
};

} // namespace quillane
