#pragma once
// The XML document behind every settings, cache, face and skin file.
//
// The whole document is one byte string; a table indexes its elements by
// offset (index 0 stands for the document itself). A cursor of three
// positions - parent, main, child - walks the elements, and every edit
// rewrites the bytes and patches the offsets of the table in place, so the
// text is never parsed again. Text is not converted: callers turn it into
// UTF-16 or out of their code page themselves.
//
// Limits (see docs/xml.md): elements nest at most kMaxDepth levels and a
// document holds less than kMaxDocSize bytes, so every offset fits the
// table's 32-bit fields.

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class CMarkupSTL {
public:
    // Node kinds. The cursor only ever rests on elements; the other kinds are
    // what the parser skips between them.
    enum NodeType {
        MNT_ELEMENT = 1,
        MNT_TEXT = 2,
        MNT_WHITESPACE = 4,
        MNT_CDATA_SECTION = 8,
        MNT_PROCESSING_INSTRUCTION = 16,
        MNT_COMMENT = 32,
        MNT_DOCUMENT_TYPE = 64,
    };

    // Deepest nesting the parser accepts; one level more fails with
    // "Invalid node", and child elements are not added below it either.
    static constexpr int kMaxDepth = 256;
    // Offsets are 32-bit; larger documents are refused.
    static constexpr std::size_t kMaxDocSize = 0x7FFFFFFF;

    CMarkupSTL();
    explicit CMarkupSTL(std::string_view doc);
    virtual ~CMarkupSTL();
    CMarkupSTL(const CMarkupSTL&) = default;
    CMarkupSTL& operator=(const CMarkupSTL&) = default;
    // A moved-from document is left empty and usable.
    CMarkupSTL(CMarkupSTL&& other);
    CMarkupSTL& operator=(CMarkupSTL&& other);

    // ---- document ----
    // Replaces the document (null = empty), resets the cursor and the saved
    // positions and parses. True when the text holds at least one element and
    // is well formed; otherwise GetError() tells why and nothing can be found.
    bool SetDoc(const char* doc);
    bool SetDoc(std::string_view doc);
    bool SetDoc(std::string&& doc);
    const std::string& GetDoc() const { return doc_; }
    bool IsWellFormed() const { return pos_[0].first_child != 0; }
    // Reads the file whole; a file that cannot be read gives an empty document.
    bool Load(const std::string& path);
    // Writes the text unchanged, replacing the file atomically; on failure the
    // old file is left as it was. An empty document writes an empty file.
    bool Save(const std::string& path) const;
    // Message of the last failed parse, empty after a good one.
    const std::string& GetError() const { return error_; }

    // ---- cursor ----
    // Searches go forward among the siblings after the current position. A
    // name matches an element whose tag name equals it byte for byte; the name
    // is read up to its first blank or other tag-name delimiter, so
    // "videoname " finds <videoname >. An empty name matches any element.
    void ResetPos();
    bool FindElem(std::string_view name = {}, bool restart = false);
    bool FindChildElem(std::string_view name = {}, bool restart = false);
    bool IntoElem();
    bool OutOfElem();
    std::string GetTagName() const;
    std::string GetChildTagName() const;
    // MNT_ELEMENT when there is a main position, else 0.
    int GetNodeType() const { return main_ ? node_type_ : 0; }
    // Named cursor bookmarks; every new document clears them.
    bool SavePos(std::string_view name = {});
    bool RestorePos(std::string_view name = {});

    // ---- attributes ----
    // Unescaped value; empty when there is no such position or attribute.
    std::string GetAttrib(std::string_view name) const;
    std::string GetChildAttrib(std::string_view name) const;
    // Name of the n-th attribute (from 0) of the main element, empty past the
    // last; lets a reader visit every attribute without knowing the names.
    std::string GetAttribName(int n) const;
    // Replaces the value when the attribute exists, otherwise appends it to
    // the start tag. False without a position or for a name that is not a
    // valid attribute name.
    bool SetAttrib(std::string_view name, std::string_view value);
    bool SetAttrib(std::string_view name, int value);
    bool AddAttrib(std::string_view name, std::string_view value) { return SetAttrib(name, value); }
    bool AddAttrib(std::string_view name, int value) { return SetAttrib(name, value); }
    bool SetChildAttrib(std::string_view name, std::string_view value);
    bool SetChildAttrib(std::string_view name, int value);
    bool AddChildAttrib(std::string_view name, std::string_view value) { return SetChildAttrib(name, value); }
    bool AddChildAttrib(std::string_view name, int value) { return SetChildAttrib(name, value); }

    // ---- element text ----
    // Content of an element without child elements: the inside of a leading
    // CDATA section as it is, otherwise the whole content unescaped.
    std::string GetData() const;
    std::string GetChildData() const;
    // Replaces the content of an element without child elements; with cdata
    // the text goes into a CDATA section unless it contains "]]>".
    bool SetData(std::string_view text, bool cdata = false);
    bool SetData(int value);
    bool SetChildData(std::string_view text, bool cdata = false);
    bool SetChildData(int value);

    // ---- adding elements ----
    // Each new element is written on a line of its own ("\r\n" line ends, no
    // indentation); an empty value gives a self-closing element. A name may
    // end in blanks, which are then kept inside its tags. False for a name
    // that is not a tag name, or without the main position a child needs.
    bool AddElem(std::string_view name, std::string_view value = {});
    bool AddElem(std::string_view name, int value);
    bool AddChildElem(std::string_view name, std::string_view value = {});
    bool AddChildElem(std::string_view name, int value);
    bool InsertChildElem(std::string_view name, std::string_view value = {});
    bool InsertChildElem(std::string_view name, int value);

private:
    // One element, all offsets into doc_. Self-closing when start_r == end_l + 1.
    struct ElemPos {
        std::uint32_t start_l = 0;      // "<" of the start tag
        std::uint32_t start_r = 0;      // ">" ending the start tag
        std::uint32_t end_l = 0;        // "<" of the end tag ("/" of "/>")
        std::uint32_t end_r = 0;        // last ">" of the element
        std::uint32_t reserved = 0;
        std::uint32_t parent = 0;
        std::uint32_t first_child = 0;  // 0 = none
        std::uint32_t next = 0;         // next sibling, 0 = none
        bool IsEmptyElement() const { return start_r == end_l + 1; }
    };
    struct SavedPos {
        std::uint32_t parent, main, child;
    };
    // Where an attribute sits inside a start tag.
    struct AttribSpan {
        std::size_t name_pos = 0, name_len = 0;
        bool has_value = false;
        char quote = 0;  // 0 for an unquoted value
        std::size_t value_pos = 0, value_len = 0;
    };
    enum class Where { kAfter, kBefore };

    bool Parse();
    bool ParseContent(std::uint32_t parent, std::size_t& i, int depth);
    bool Fail(const char* message, std::uint32_t elem = 0);

    std::uint32_t FindSibling(std::uint32_t from, std::string_view name) const;
    std::string_view TagName(std::uint32_t elem) const;
    std::size_t AttribEnd(std::uint32_t elem) const;
    bool NextAttrib(std::uint32_t elem, std::size_t& i, AttribSpan& span) const;
    bool FindAttrib(std::uint32_t elem, std::string_view name, AttribSpan& span) const;
    std::string AttribOf(std::uint32_t elem, std::string_view name) const;
    bool SetAttribOf(std::uint32_t elem, std::string_view name, std::string_view value);
    std::string DataOf(std::uint32_t elem) const;
    bool SetDataOf(std::uint32_t elem, std::string_view text, bool cdata);
    std::string EndTagFor(std::uint32_t elem) const;
    bool OpenEmptyElement(std::uint32_t elem, std::string_view inner);
    int Level(std::uint32_t elem) const;
    bool InsertElem(std::string_view name, std::string_view value, bool as_child, Where where);
    bool Replace(std::size_t pos, std::size_t old_len, std::string_view text);

    std::string doc_;
    std::string error_;
    std::vector<ElemPos> pos_;  // size() is the next free index
    std::uint32_t parent_ = 0;
    std::uint32_t main_ = 0;
    std::uint32_t child_ = 0;
    int node_type_ = 0;
    std::map<std::string, SavedPos, std::less<>> saved_;
    // The text holds nothing broken, so a first element may be appended to
    // it; after a failed parse the first element replaces the text instead.
    bool can_append_ = true;
};
