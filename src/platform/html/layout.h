// One litehtml rendering of an element subtree: the markup handed to
// litehtml, the map between its elements and ours, layout, painting and hit
// testing. The view has one for its page and one per open popup.
#pragma once

#include <QImage>
#include <QRect>
#include <litehtml/litehtml.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/html/element.h"
#include "platform/html/inherited_style_cache.h"

class QPainter;

namespace html {

class View;

// A style sheet of a page: its text, the media it is for ("" for all) and,
// for a linked one, its address as written and as resolved.
struct StyleSheetSource {
    std::string text;
    std::string media;
    std::string href;
    std::string url;
};

class Layout : public litehtml::document_container {
public:
    explicit Layout(View* view);
    ~Layout();

    // Builds the litehtml document from our tree and maps it, states
    // mirrored into pseudo-classes: the whole page when `root` is its html
    // element, or one popup element shown alone (`popup`). `sheets` are the
    // page's style sheets in document order. Nothing is laid out yet.
    void Build(Element* root, const std::vector<StyleSheetSource>& sheets, bool popup);
    // Lays out for a width; returns the document's width.
    int Render(int width);
    void Draw(QPainter* painter, QPoint offset, const QRect& clip);
    QSize DocumentSize() const;

    // Our element at a document point (the deepest one litehtml reports).
    Element* ElementAt(QPoint docPoint);
    litehtml::element* Find(Element* e) const;
    bool Contains(Element* e) const { return Find(e) != nullptr; }
    // In document order (put in it again, when parts were built since, on this call).
    const std::vector<Element*>& Elements();

    // Mirrors one element's state bits into its pseudo-classes; true when
    // the element is part of this layout.
    bool MirrorState(Element* e);
    // Puts the litehtml children of `parent` in the order of ours, for a
    // sort; false when the two trees differ there (then rebuild instead).
    bool Reorder(Element* parent);
    // Re-applies styles after state changes; true when anything changed.
    bool RefreshStyles();
    // False when no rule of the page's style sheets tests the states `bits`
    // where `e` could be (so changing them restyles nothing).
    bool StateMatters(const Element* e, unsigned bits) const;
    // Builds again the parts of the page below the elements that changed
    // (with the name of the attribute changed, ":" for its states, or empty
    // for children or style), styled as the whole page would be; `added` gets
    // every element laid out anew, but those laid out again just as they were
    // before. False when only building the whole page will do; the layout is
    // then left for that. A subtree built again for a change of its top
    // element's attributes alone is kept, and used again when those
    // attributes go back to what they were (folding and unfolding).
    bool Patch(const std::vector<std::pair<Element*, std::string>>& changes,
               std::vector<Element*>& added);

    QRect Box(Element* e, unsigned areas);
    bool IsVisible(Element* e);
    std::string StyleProperty(Element* e, const std::string& name);
    // The same without a copy; null when the element is not laid out here
    // or the property is unset.
    const char* StylePropertyText(Element* e, const char* name);
    // The same for Elements()[index].
    const char* StylePropertyAt(std::size_t index, const char* name);

    // document_container
    litehtml::uint_ptr create_font(const litehtml::tchar_t* faceName, int size, int weight,
                                   litehtml::font_style italic, unsigned int decoration,
                                   litehtml::font_metrics* fm) override;
    void delete_font(litehtml::uint_ptr hFont) override;
    int text_width(const litehtml::tchar_t* text, litehtml::uint_ptr hFont) override;
    void draw_text(litehtml::uint_ptr hdc, const litehtml::tchar_t* text, litehtml::uint_ptr hFont,
                   litehtml::web_color color, const litehtml::position& pos) override;
    int pt_to_px(int pt) const override;
    int get_default_font_size() const override;
    const litehtml::tchar_t* get_default_font_name() const override;
    void draw_list_marker(litehtml::uint_ptr hdc, const litehtml::list_marker& marker) override;
    void load_image(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                    bool redraw_on_ready) override;
    void get_image_size(const litehtml::tchar_t* src, const litehtml::tchar_t* baseurl,
                        litehtml::size& sz) override;
    void draw_background(litehtml::uint_ptr hdc, const litehtml::background_paint& bg) override;
    void draw_borders(litehtml::uint_ptr hdc, const litehtml::borders& borders,
                      const litehtml::position& draw_pos, bool root) override;
    void set_caption(const litehtml::tchar_t* caption) override;
    void set_base_url(const litehtml::tchar_t* base_url) override;
    void link(const std::shared_ptr<litehtml::document>& doc,
              const litehtml::element::ptr& el) override;
    void on_anchor_click(const litehtml::tchar_t* url, const litehtml::element::ptr& el) override;
    void set_cursor(const litehtml::tchar_t* cursor) override;
    void transform_text(litehtml::tstring& text, litehtml::text_transform tt) override;
    void import_css(litehtml::tstring& text, const litehtml::tstring& url,
                    litehtml::tstring& baseurl) override;
    void set_clip(const litehtml::position& pos, const litehtml::border_radiuses& bdr_radius,
                  bool valid_x, bool valid_y) override;
    void del_clip() override;
    void get_client_rect(litehtml::position& client) const override;
    std::shared_ptr<litehtml::element> create_element(
        const litehtml::tchar_t* tag_name, const litehtml::string_map& attributes,
        const std::shared_ptr<litehtml::document>& doc) override;
    void get_media_features(litehtml::media_features& media) const override;
    void get_language(litehtml::tstring& language, litehtml::tstring& culture) const override;

private:
    struct Font;
    void Reset();
    void BuildOnce(Element* root, const std::vector<StyleSheetSource>& sheets, bool popup,
                   bool leaveOutHidden);
    // Builds `e` and what is below it, put into `into` (or only seeing `context` as its
    // parent); below an element that the hiding rules hide, nothing is built.
    litehtml::element::ptr BuildElement(Element* e, const litehtml::element::ptr& into = nullptr,
                                        const litehtml::element::ptr& context = nullptr);
    // The rules of the page that set "display", when an element they hide may be left
    // without descendants (else none).
    void FindHidingRules();
    bool HiddenByRules(Element* e, litehtml::element& el) const;
    // True when every element left without descendants came out hidden once styled.
    bool LeftOutStillHidden() const;
    void BuildTableChildren(Element* table, const litehtml::element::ptr& el);
    void AppendText(const litehtml::element::ptr& parent, const std::string& text);
    void MapElement(Element* e, litehtml::element* el);
    // Makes the maps both ways when they are not there yet.
    void MakeMaps() const;
    // True when a change of `attribute` on an element may restyle its later
    // siblings (a sibling combinator whose left side tests it).
    bool RestylesSiblings(const std::string& attribute);
    // Takes `el` and what is below it out of the maps; the subtrees kept aside for
    // elements in it go too, but those of `spared`.
    void Unmap(litehtml::element* el, const std::unordered_set<Element*>& spared);
    // Puts Elements() and their twins in document order again, walking the tree.
    void Renumber();
    // The slow way, for trees whose tables need boxes that HTML parsing or
    // litehtml add (cells outside rows and the like): markup parsed again.
    void BuildFromMarkup(Element* root, const std::vector<StyleSheetSource>& sheets, bool popup);
    const QImage& Image(const std::string& src, const std::string& base);
    std::string Resolve(const std::string& src, const std::string& base) const;

    View* view_;
    litehtml::document::ptr doc_;
    // The page's style sheets as litehtml parsed them (its selectors are
    // shared with the elements they were applied to).
    litehtml::css styles_;
    // Parts built again are numbered after the others (what they replace stays, out
    // of the maps) until the order is asked for: then `orderStale_` is cleared.
    std::vector<Element*> numbered_;
    bool orderStale_ = false;
    // litehtml's element of each of Elements() (null where it has none),
    // and the maps both ways, made when first needed.
    std::vector<litehtml::element*> twins_;
    mutable std::unordered_map<Element*, litehtml::element*> map_;
    mutable std::unordered_map<const litehtml::element*, Element*> back_;
    // The attributes that sibling combinators' left sides test, made when
    // first needed; null for any attribute (a pseudo-class there).
    std::vector<std::string> siblingAttributes_;
    bool siblingAttributesKnown_ = false;
    bool siblingAnyAttribute_ = false;
    // Subtrees taken out for a change of their top element's attributes.
    struct Kept {
        std::string attributes;  // the top element's, as the subtree was styled for them
        unsigned version = 0;    // the top element's Version() then
        litehtml::element::ptr el;
        std::vector<Element*> elements;
        std::vector<litehtml::element*> twins;
        std::vector<unsigned> states;
        std::vector<std::string> behaviors;  // the names attached then
    };
    std::unordered_map<Element*, Kept> kept_;
    struct HidingRule {
        const litehtml::css_selector* selector;
        bool none;  // hides, else shows
    };
    std::vector<HidingRule> hidingRules_;  // lightest first
    std::vector<const litehtml::css_selector*> behaviorRules_;  // the rules giving behaviours
    // The elements built without descendants by the current build.
    std::vector<litehtml::element*> leftOut_;
    bool needsMarkup_ = false;
    std::size_t lastSize_ = 64;  // elements of the last document, to size maps
    InheritedStyleCache styleCache_;
    // Fonts by description, kept across documents: litehtml asks again for
    // every document it builds.
    std::map<std::string, std::unique_ptr<Font>> fonts_;
    std::map<std::string, QImage> images_;
    QPainter* painter_ = nullptr;
    int clipDepth_ = 0;
    int width_ = 0;
};

// The style sheet every document starts from.
const char* MasterStyleSheet();

}  // namespace html
