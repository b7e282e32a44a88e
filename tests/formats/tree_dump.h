#pragma once
// Test helper: the whole element tree as read through the cursor, one line per
// element with its attributes and text, so two documents compare as strings.

#include <string>

#include "formats/markup.h"

namespace testing_xml {

inline void DumpSiblings(CMarkupSTL& x, std::string& out, int depth) {
    do {
        out.append(static_cast<std::size_t>(depth) * 2, ' ').append(x.GetTagName());
        for (int i = 0;; ++i) {
            const std::string name = x.GetAttribName(i);
            if (name.empty()) break;
            out += " " + name + "=[" + x.GetAttrib(name) + "]";
        }
        out += " {" + x.GetData() + "}\n";
        if (x.FindChildElem()) {
            x.IntoElem();
            DumpSiblings(x, out, depth + 1);
            x.OutOfElem();
        }
    } while (x.FindElem());
}

inline std::string DumpTree(CMarkupSTL& x) {
    std::string out;
    x.ResetPos();
    if (x.FindElem()) DumpSiblings(x, out, 0);
    x.ResetPos();
    return out;
}

inline std::string DumpText(const std::string& doc) {
    CMarkupSTL x;
    if (!x.SetDoc(doc)) return "parse error: " + x.GetError();
    return DumpTree(x);
}

}  // namespace testing_xml
