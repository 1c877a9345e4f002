// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a page's markup holds for its links: the elements that carry URLs, ids or names, with
// those attributes decoded and placed in the page, and the text of its <style> elements.
// Two readers give it: gumbo, a complete HTML parser; and a quick tokenizer that follows the
// same tokenizing rules but gives up (and leaves the page to gumbo) wherever building the tree
// could change what the tokens mean.

#include "site/markup_text.h"

#include <QStringView>
#include <vector>

namespace quillane {

// The elements that matter here, for their links or for how the page is tokenized.
enum class Tag : quint8 {
    Other,
    A,
    Area,
    Link,
    Script,
    Img, // and <image>, which parsers turn into <img>
    Input,
    Source,
    Video,
    Audio,
    Track,
    Iframe,
    Frame,
    Embed,
    Object,
    Form,
    Button,
    Base,
    Style,
    Html,
    Head,
    Body,
    Table,
    TablePart, // caption, col, colgroup, tbody, td, tfoot, th, thead, tr
    Svg,
    Math,
    Select,
    Frameset,
    Plaintext,
    Template,
    Isindex,
    Textarea,
    Title,
    Xmp,
    Noembed,
    Noframes,
};

// The attributes that matter here.
enum class Attr : quint8 {
    Href,
    Src,
    Srcset,
    Action,
    Formaction,
    Poster,
    Data,
    Style,
    Id,
    Name,
    Rel
};

struct MarkupAttribute {
    Attr name = Attr::Href;
    SourcedText value;
    bool placed = true; // value.at() gives where each character stands in the page
};

struct MarkupElement {
    Tag tag = Tag::Other;
    bool foreign = false;           // in SVG or MathML
    qsizetype first = 0, count = 0; // its attributes in Markup::attributes
};

struct Markup {
    std::vector<MarkupElement> elements;
    std::vector<MarkupAttribute> attributes;
    std::vector<MarkupAttribute> styleSheets; // the text of <style> elements (name Style)
};

// The quick way: false when the page needs the full parser (out is then unspecified).
bool quickMarkup(QStringView page, Markup& out);
// The full parse.
Markup parsedMarkup(QStringView page);

} // namespace quillane
