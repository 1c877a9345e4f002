// SPDX-License-Identifier: GPL-3.0-or-later
// Makes a site for the whole-process benchmarks (compare.sh): ten templates (t0.qtf ... t9.qtf,
// document i on template i % 10), `count` templated documents of about 2.6 KB whose pages come
// to about 4 KB, written to public/ beside them; and, with --hugo, the same pages as content
// for Hugo (title and the five blocks as page parameters, poured into the same HTML by one
// layout per template). With --site, the same site as a site: a quillane-site.ini, its nav
// linking from the site's top (/site.css, /page1.html#s0, ...), and its stylesheet an asset.
//
//   make_site <folder> <count> [--hugo <folder> | --site]

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

void put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The page around the sections: the same for both programs, with the placeholders marked.
const char* const kHead =
    "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\">\r\n"
    "<title>@TITLE@</title>\r\n<link rel=\"stylesheet\" href=\"site.css\">"
    "\r\n</head><body>\r\n<header><h1>@TITLE@</h1><nav><a href=\"index.html\">"
    "Home</a> | <a href=\"about.html\">About</a></nav></header>\r\n";

std::string block(int page, int b) {
    std::string s;
    for (int l = 0; l < 6; ++l)
        s += "<p>Page " + std::to_string(page) + ", block " + std::to_string(b) + ", line " +
             std::to_string(l) + ": some text of the page itself, written by hand.</p>\r\n";
    return s;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
    return s;
}

constexpr int kTemplates = 10;

// The head of a site's page: the same, its links from the site's top.
const char* const kSiteHead =
    "<!DOCTYPE html>\r\n<html><head><meta charset=\"utf-8\">\r\n"
    "<title>@TITLE@</title>\r\n<link rel=\"stylesheet\" href=\"/site.css\">"
    "\r\n</head><body>\r\n<header><h1>@TITLE@</h1><nav><a href=\"/page0.html\">"
    "Home</a> | <a href=\"/page1.html#s0\">About</a> | <a href=\"/page2.html\">News</a> | <a "
    "href=\"/page3.html#s4\">Contact</a></nav></header>\r\n";

// Template k differs from the others in its footer.
std::string pageFrame(const std::string& title, const std::string& section, int k,
                      bool site = false) {
    std::string html = replaceAll(site ? kSiteHead : kHead, "@TITLE@", title);
    for (int s = 0; s < 5; ++s)
        html += "<section id=\"s" + std::to_string(s) + "\">\r\n" +
                replaceAll(section, "@N@", std::to_string(s)) + "</section>\r\n";
    html += "<footer><p>Made with care (" + std::to_string(k) +
            "). Questions go to the address on the about page.</p></footer>\r\n";
    for (int l = 0; l < 14; ++l)
        html += "<p class=\"note\">A line of the template's own, as a page has them.</p>\r\n";
    html += "</body></html>\r\n";
    return html;
}

} // namespace

int main(int argc, char** argv) {
    const bool site = argc == 4 && std::string(argv[3]) == "--site";
    if (argc != 3 && !site && !(argc == 5 && std::string(argv[3]) == "--hugo")) {
        std::fprintf(stderr, "usage: make_site <folder> <count> [--hugo <folder> | --site]\n");
        return 2;
    }
    const fs::path folder = argv[1];
    const int count = std::atoi(argv[2]);
    fs::create_directories(folder / "public");
    if (site) {
        put(folder / "quillane-site.ini", "[site]\noutput = public\nassets = assets\n");
        fs::create_directories(folder / "assets");
        put(folder / "assets/site.css", "body { font-family: sans-serif }\n");
    }
    for (int k = 0; k < kTemplates; ++k) {
        std::string t = "#QT1#\r\nBenchmark template\r\n#DEFAULTHTML#\r\n" +
                        pageFrame("::title::", "::section@N@::\r\n", k, site) +
                        "#ENDDEFAULTHTML#\r\n";
        for (int s = 0; s < 5; ++s)
            t += "#STARTSECTION#\r\nsection" + std::to_string(s) + "\r\n 1 \r\n<p>Default.</p>\r\n";
        put(folder / ("t" + std::to_string(k) + ".qtf"), t + "#STARTSECTION#\r\n");
    }
    for (int i = 0; i < count; ++i) {
        std::string d = "#QH1#\r\nPage " + std::to_string(i) + "\r\nt" +
                        std::to_string(i % kTemplates) + ".qtf\r\npublic/page" + std::to_string(i) +
                        ".html\r\n#STARTSECTION#\r\n";
        for (int b = 0; b < 5; ++b)
            d += block(i, b) + "#STARTSECTION#\r\n";
        put(folder / ("page" + std::to_string(i) + ".qht"), d);
    }
    if (argc == 5) {
        const fs::path hugo = argv[4];
        fs::create_directories(hugo / "content");
        fs::create_directories(hugo / "layouts/_default");
        put(hugo / "config.toml",
            "baseURL = \"http://example.org/\"\nuglyURLs = true\ndisableKinds = [\"taxonomy\", "
            "\"term\", \"RSS\", \"sitemap\", \"robotsTXT\", \"404\", \"home\", \"section\"]\n");
        for (int k = 0; k < kTemplates; ++k)
            put(hugo / "layouts/_default" / ("t" + std::to_string(k) + ".html"),
                pageFrame("{{ .Title }}", "{{ index .Params \"s@N@\" | safeHTML }}\r\n", k));
        for (int i = 0; i < count; ++i) {
            std::string c = "---\ntitle: \"Page " + std::to_string(i) + "\"\nlayout: t" +
                            std::to_string(i % kTemplates) + "\n";
            for (int b = 0; b < 5; ++b)
                c += "s" + std::to_string(b) + ": |\n  " + replaceAll(block(i, b), "\r\n", "\n  ") +
                     "\n";
            put(hugo / "content" / ("page" + std::to_string(i) + ".html"), c + "---\n");
        }
    }
    return 0;
}
