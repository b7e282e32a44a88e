// Parses arbitrary bytes as an XML document. When the parse succeeds it walks
// every element and attribute, makes a few edits chosen by the input and
// checks that the edited text parses back to the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/markup.h"

namespace {

void WalkSiblings(CMarkupSTL& x, std::string& out) {
    do {
        out += x.GetTagName();
        for (int i = 0;; ++i) {
            const std::string name = x.GetAttribName(i);
            if (name.empty()) break;
            out += '|' + name + '=' + x.GetAttrib(name);
        }
        out += '{' + x.GetData() + "}\n";
        if (x.FindChildElem()) {
            out += x.GetChildTagName() + x.GetChildData();
            x.IntoElem();
            WalkSiblings(x, out);
            x.OutOfElem();
        }
    } while (x.FindElem());
}

std::string Walk(CMarkupSTL& x) {
    std::string out;
    x.ResetPos();
    if (x.FindElem()) WalkSiblings(x, out);
    x.ResetPos();
    return out;
}

bool KnownError(const std::string& e) {
    static const char* const kPrefixes[] = {
        "Element tag not found", "Tag starts with quote", "Invalid node", "End of tag not found",
        "Abrupt end within tag", "End tag of ", "Expecting end tag of element ",
        "End tag does not correspond to ", "End tag not completed for element ",
    };
    for (const char* p : kPrefixes) {
        if (e.rfind(p, 0) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CMarkupSTL x;
    if (!x.SetDoc(input)) {
        if (!KnownError(x.GetError())) std::abort();
        // Editing a failed document starts a clean one.
        if (x.AddElem("root") && !CMarkupSTL(x.GetDoc()).IsWellFormed()) std::abort();
        return 0;
    }
    Walk(x);

    // Edits steered by the last bytes of the input.
    const std::string_view value = input.substr(0, input.size() < 16 ? input.size() : 16);
    for (std::size_t k = 0; k < 6 && k < size; ++k) {
        const std::uint8_t op = data[size - 1 - k];
        x.ResetPos();
        x.FindElem();
        for (int hop = 0; hop < (op >> 4); ++hop) {
            if (!(x.FindChildElem() && x.IntoElem())) break;
        }
        switch (op % 6) {
            case 0: x.AddElem("e", value); break;
            case 1: x.AddChildElem("c ", value); break;
            case 2: x.InsertChildElem("i"); break;
            case 3: x.SetAttrib("k", value); break;
            case 4: x.SetData(value, op & 8); break;
            case 5: x.SetChildAttrib(x.GetAttribName(0).empty() ? "a" : x.GetAttribName(0), value); break;
        }
    }
    CMarkupSTL again(x.GetDoc());
    if (!again.IsWellFormed() || Walk(again) != Walk(x)) std::abort();
    return 0;
}
