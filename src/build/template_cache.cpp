// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/template_cache.h"

namespace quillane {

std::shared_ptr<const TemplateRead> TemplateCache::read(const QString& path, FileSignature* seen) {
    FileSignature before;
    const bool known = fileSignature(path, before);
    if (seen) *seen = before;
    if (known) {
        std::lock_guard lock(m_mutex);
        const auto it = m_entries.constFind(path);
        if (it != m_entries.cend() && it->signature == before) return it->read;
    }
    auto read = std::make_shared<const TemplateRead>(readTemplateFile(path));
    FileSignature after;
    // Only what was read from a file that did not change meanwhile is kept.
    if (known && fileSignature(path, after) && after == before) {
        std::lock_guard lock(m_mutex);
        if (m_entries.size() >= kMaxEntries) m_entries.clear();
        m_entries.insert(path, Entry{after, read});
    }
    return read;
}

} // namespace quillane
