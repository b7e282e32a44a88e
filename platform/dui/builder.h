#pragma once
// Builds controls from a parsed skin. Stock element names (any case):
//   Control Container VerticalLayout HorizontalLayout TileLayout TabLayout
//   Label Text Button Option CheckBox Edit RichEdit Combo Slider Progress
//   List ListLabelElement ListTextElement ListContainerElement
// Any other name goes to the callback; a name nobody makes is skipped
// (with its children) and logged.

#include <string>
#include <string_view>

#include "platform/dui/control.h"
#include "platform/dui/notify.h"

class QWidget;

class CSkinBuilder {
public:
    // The controls of a skin under `parent`: its one top control, or a
    // Container holding several. nullptr when nothing could be built.
    static CControlUI* Build(const dui::SkinDoc& doc, CSkinManager& m, IDialogBuilderCallback* cb, QWidget* parent);
    // A template skin file (a list item, say) read and built; nullptr when
    // the file cannot be loaded (logged).
    static CControlUI* BuildFile(const std::string& path, CSkinManager& m, IDialogBuilderCallback* cb);
    // One element and everything inside it, added to `parent` when given.
    static CControlUI* BuildNode(const dui::SkinNode& node, CSkinManager& m, IDialogBuilderCallback* cb,
                                 CControlUI* parent);
    // A stock control for a lower-case element name, or nullptr.
    static CControlUI* CreateStock(std::string_view lowerName);
};
