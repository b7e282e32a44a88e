#include "platform/dui/builder.h"

#include "core/log.h"
#include "platform/dui/controls.h"
#include "platform/dui/inputs.h"
#include "platform/dui/list.h"

CControlUI* CSkinBuilder::CreateStock(std::string_view n) {
    if (n == "control") return new CControlUI;
    if (n == "container") return new CContainerUI;
    if (n == "verticallayout") return new CVerticalLayoutUI;
    if (n == "horizontallayout") return new CHorizontalLayoutUI;
    if (n == "tilelayout") return new CTileLayoutUI;
    if (n == "tablayout") return new CTabLayoutUI;
    if (n == "label") return new CLabelUI;
    if (n == "text") return new CTextUI;
    if (n == "button") return new CButtonUI;
    if (n == "option") return new COptionUI;
    if (n == "checkbox") return new CCheckBoxUI;
    if (n == "edit") return new CEditUI;
    if (n == "richedit") return new CRichEditUI;
    if (n == "combo") return new CComboUI;
    if (n == "slider") return new CSliderUI;
    if (n == "progress") return new CProgressUI;
    if (n == "list") return new CListUI;
    if (n == "listlabelelement" || n == "listtextelement") return new CListLabelElementUI;
    if (n == "listcontainerelement") return new CListContainerElementUI;
    return nullptr;
}

CControlUI* CSkinBuilder::BuildNode(const dui::SkinNode& node, CSkinManager& m, IDialogBuilderCallback* cb,
                                    CControlUI* parent) {
    CControlUI* c = CreateStock(node.tag);
    if (!c && cb) c = cb->CreateControl(node.tag);
    if (!c) {
        log_msg("skin: no control for element <%s> (name \"%s\"); skipped", node.written.c_str(),
                node.Get("name").c_str());
        return nullptr;
    }
    c->SetManager(&m);
    if (const auto* defaults = m.DefaultAttrs(node.tag)) c->ApplyAttributeList(*defaults);
    c->ApplyAttributeList(node.attrs);
    if (parent && !parent->AcceptChild(c)) {
        log_msg("skin: <%s> cannot hold <%s>; skipped", std::string(parent->GetClass()).c_str(),
                node.written.c_str());
        delete c;
        return nullptr;
    }
    for (const auto& child : node.children) {
        // A combo may have consumed and deleted an earlier child; `c` itself lives on.
        BuildNode(child, m, cb, c);
    }
    return c;
}

CControlUI* CSkinBuilder::Build(const dui::SkinDoc& doc, CSkinManager& m, IDialogBuilderCallback* cb,
                                QWidget* parent) {
    if (!doc.loaded) return nullptr;
    CControlUI* root = nullptr;
    if (!doc.isWindow) {
        root = BuildNode(doc.root, m, cb, nullptr);
    } else if (doc.controls.size() == 1) {
        root = BuildNode(doc.controls.front(), m, cb, nullptr);
    } else {
        auto* box = new CContainerUI;
        box->SetManager(&m);
        for (const auto& node : doc.controls) BuildNode(node, m, cb, box);
        root = box;
    }
    if (root && parent) {
        const bool hidden = !root->IsVisible();
        root->setParent(parent);
        root->QWidget::setVisible(!hidden);
    }
    return root;
}

CControlUI* CSkinBuilder::BuildFile(const std::string& path, CSkinManager& m, IDialogBuilderCallback* cb) {
    const dui::SkinDoc doc = dui::LoadSkinFile(path);
    if (!doc.loaded) {
        log_msg("skin: %s", doc.error.c_str());
        return nullptr;
    }
    return Build(doc, m, cb, nullptr);
}
