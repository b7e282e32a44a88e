#pragma once
// The face table: face numbers and typed tags mapped to the images of
// skin/Face/FaceConfig.xml (UTF-8). Entries keep file order; both look-ups
// are linear because the table is small and the first entry in file order
// must win.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FaceEntry {
    std::int32_t id = 0;
    std::string tag;        // what users type, e.g. "/smile"
    std::string tip;        // tooltip
    std::string text;
    std::string file;       // as written in the table, relative to skin/
    std::string imagePath;  // program folder + "skin/" + file; empty when the file is unusable
};

// Cell and grid sizes of the face picker.
struct FaceLayout {
    int itemWidth = 0;
    int itemHeight = 0;
    int zoomWidth = 0;
    int zoomHeight = 0;
    int rows = 0;
    int cols = 0;
};

class CFaceTable {
public:
    // Where the table lives below the program folder.
    static constexpr std::string_view kRelativePath = "skin/Face/FaceConfig.xml";

    // Reads programFolder + kRelativePath. A missing or malformed file leaves
    // the table empty and returns false.
    bool Load(const std::string& programFolder);
    // The same from the document's text; image paths are formed under programFolder.
    bool LoadFromText(std::string_view xml, const std::string& programFolder);
    void Clear();

    const FaceEntry* FindById(std::int32_t id) const;

    struct TagMatch {
        const FaceEntry* face = nullptr;  // first entry whose tag equals the key, ignoring case
        bool couldGrow = false;           // some tag contains the key, ignoring case
    };
    TagMatch FindByTag(std::string_view key) const;

    const std::vector<FaceEntry>& Entries() const { return entries_; }
    const FaceLayout& Layout() const { return layout_; }
    bool Empty() const { return entries_.empty(); }
    // Length in bytes of the longest tag; no tag match can be longer.
    std::size_t LongestTag() const { return longestTag_; }

private:
    std::vector<FaceEntry> entries_;
    FaceLayout layout_;
    std::size_t longestTag_ = 0;
};

// ASCII letters compared without case; other bytes (UTF-8 included) exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);
bool ContainsNoCase(std::string_view haystack, std::string_view needle);
