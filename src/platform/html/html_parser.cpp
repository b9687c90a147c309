// Gumbo parses; we copy its tree into ours, dropping what the table rules
// imply, and write trees back as markup.
#include "platform/html/html_parser.h"

#include <gumbo.h>

#include <memory>

namespace html {

namespace {

std::string TagName(const GumboElement& e)
{
    if (e.tag != GUMBO_TAG_UNKNOWN)
        return gumbo_normalized_tagname(e.tag);
    GumboStringPiece piece = e.original_tag;
    gumbo_tag_from_original_text(&piece);
    std::string name(piece.data ? piece.data : "", piece.length);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return name;
}

bool IsTableStructure(const std::string& tag)
{
    return tag == "table" || tag == "tbody" || tag == "thead" || tag == "tfoot" || tag == "tr";
}

// Copies the children of `from` into `to`; implied table elements give their
// children to `to` directly.
void CopyChildren(const GumboVector& children, Element* to, bool dropImplied)
{
    for (unsigned i = 0; i < children.length; ++i) {
        auto* node = static_cast<const GumboNode*>(children.data[i]);
        switch (node->type) {
        case GUMBO_NODE_ELEMENT:
        case GUMBO_NODE_TEMPLATE: {
            const GumboElement& ge = node->v.element;
            std::string tag = TagName(ge);
            const bool implied = (node->parse_flags & GUMBO_INSERTION_IMPLIED) != 0;
            if (dropImplied && implied &&
                (tag == "tbody" || tag == "tr" || tag == "colgroup")) {
                CopyChildren(ge.children, to, dropImplied);
                break;
            }
            ElementPtr e = Element::CreateElement(tag);
            for (unsigned a = 0; a < ge.attributes.length; ++a) {
                auto* attr = static_cast<const GumboAttribute*>(ge.attributes.data[a]);
                std::string value(attr->value);
                e->SetAttribute(attr->name, &value);
            }
            CopyChildren(ge.children, e.get(), dropImplied);
            to->AppendChild(std::move(e));
            break;
        }
        case GUMBO_NODE_WHITESPACE:
            if (IsTableStructure(to->Tag()))
                break;
            [[fallthrough]];
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
            to->AppendChild(Element::CreateText(node->v.text.text));
            break;
        default:  // comments and the document node carry nothing we show
            break;
        }
    }
}

struct GumboOutputDeleter {
    const GumboOptions* options;
    void operator()(GumboOutput* o) const { gumbo_destroy_output(options, o); }
};

}  // namespace

ElementPtr ParseDocument(std::string_view utf8)
{
    GumboOptions options = kGumboDefaultOptions;
    std::unique_ptr<GumboOutput, GumboOutputDeleter> out(
        gumbo_parse_with_options(&options, utf8.data(), utf8.size()), {&options});
    ElementPtr holder = Element::CreateElement("#document");
    GumboVector top = kGumboEmptyVector;
    top.data = reinterpret_cast<void**>(&out->root);
    top.length = 1;
    CopyChildren(top, holder.get(), true);
    ElementPtr root = holder->Child(0);
    root->Detach();
    return root;
}

std::vector<ElementPtr> ParseFragment(std::string_view utf8, std::string_view contextTag)
{
    GumboOptions options = kGumboDefaultOptions;
    GumboTag ctx = gumbo_tagn_enum(contextTag.data(), unsigned(contextTag.size()));
    if (ctx == GUMBO_TAG_UNKNOWN || ctx == GUMBO_TAG_HTML)
        ctx = GUMBO_TAG_DIV;
    options.fragment_context = ctx;
    options.fragment_namespace = GUMBO_NAMESPACE_HTML;
    std::unique_ptr<GumboOutput, GumboOutputDeleter> out(
        gumbo_parse_with_options(&options, utf8.data(), utf8.size()), {&options});
    // The fragment's nodes are the children of the html element gumbo
    // makes as the root; for a table context whitespace between rows goes.
    ElementPtr holder = Element::CreateElement(std::string(contextTag));
    CopyChildren(out->root->v.element.children, holder.get(), true);
    return holder->TakeNodes();
}

void SerializeNode(const Element* node, std::string& out, std::vector<Element*>* numbered)
{
    if (node->IsText()) {
        const Element* p = node->Parent();
        if (p && (p->Tag() == "style" || p->Tag() == "script"))
            out += node->Text();
        else
            AppendEscaped(out, node->Text(), false);
        return;
    }
    out += '<';
    out += node->Tag();
    bool styleWritten = false;
    auto writeStyle = [&](const std::string* own) {
        out += " style=\"";
        if (own)
            AppendEscaped(out, *own, true);
        for (const auto& [name, value] : node->RuntimeStyle()) {
            out += ';';
            AppendEscaped(out, name, true);
            out += ':';
            AppendEscaped(out, value, true);
        }
        out += '"';
        styleWritten = true;
    };
    for (std::size_t i = 0; i < node->AttributeCount(); ++i) {
        const std::string& name = node->AttributeName(i);
        if (numbered && name == "style" && !node->RuntimeStyle().empty()) {
            writeStyle(&node->AttributeValue(i));
            continue;
        }
        out += ' ';
        out += name;
        out += "=\"";
        AppendEscaped(out, node->AttributeValue(i), true);
        out += '"';
    }
    if (numbered) {
        if (!styleWritten && !node->RuntimeStyle().empty())
            writeStyle(nullptr);
        out += " _n=\"";
        out += std::to_string(numbered->size());
        out += '"';
        numbered->push_back(const_cast<Element*>(node));
    }
    out += '>';
    if (IsVoidTag(node->Tag()))
        return;
    for (const auto& child : node->Nodes())
        SerializeNode(child.get(), out, numbered);
    out += "</";
    out += node->Tag();
    out += '>';
}

}  // namespace html
