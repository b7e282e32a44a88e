#include "platform/dui/manager.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>

#include <algorithm>

#include "core/log.h"
#include "platform/dui/control.h"

namespace dui {

QColor ToQColor(std::uint32_t argb) {
    return QColor((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, (argb >> 24) & 0xFF);
}

QFont MakeFont(const SkinFont& f) {
    QStringList families;
    for (const auto& part : QString::fromStdString(f.name).split(',', Qt::SkipEmptyParts))
        families << part.trimmed();
    families << "Noto Sans CJK SC" << "WenQuanYi Micro Hei" << "Noto Sans" << "DejaVu Sans";
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(f.size);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    return font;
}

}  // namespace dui

namespace {

QString CleanDir(const std::string& folder) {
    QString p = QDir::cleanPath(QFileInfo(QString::fromStdString(folder)).absoluteFilePath());
    if (!p.endsWith('/')) p += '/';
    return p;
}

}  // namespace

CSkinManager::CSkinManager() = default;
CSkinManager::~CSkinManager() = default;

void CSkinManager::SetSkinFolder(const std::string& folder) {
    folder_ = CleanDir(folder).toStdString();
    images_.clear();
}

void CSkinManager::AddImageRoot(const std::string& folder) {
    roots_.push_back(CleanDir(folder).toStdString());
    images_.clear();  // names refused before may be allowed now
}

void CSkinManager::CopyStyle(const CSkinManager& o) {
    folder_ = o.folder_;
    roots_ = o.roots_;
    fonts_ = o.fonts_;
    defaultFont_ = o.defaultFont_;
    textColor_ = o.textColor_;
    disabledColor_ = o.disabledColor_;
    defaults_ = o.defaults_;
    images_.clear();
}

void CSkinManager::ApplyWindowSkin(const dui::SkinDoc& doc) {
    fonts_.clear();
    defaultFont_ = -1;
    for (const auto& f : doc.fonts) {
        fonts_[f.id] = dui::MakeFont(f);
        if (defaultFont_ < 0) defaultFont_ = f.id;  // the first font, unless one says default
    }
    for (auto it = doc.fonts.rbegin(); it != doc.fonts.rend(); ++it)
        if (it->isDefault) defaultFont_ = it->id;
    std::uint32_t argb = 0;
    if (dui::ParseColor(doc.root.Get("defaultfontcolor"), argb)) textColor_ = dui::ToQColor(argb);
    if (dui::ParseColor(doc.root.Get("disabledfontcolor"), argb)) disabledColor_ = dui::ToQColor(argb);
    defaults_.clear();
    for (const auto& [k, v] : doc.defaults) defaults_[k] = v;
}

QFont CSkinManager::Font(int index) const {
    auto it = fonts_.find(index);
    if (it == fonts_.end()) it = fonts_.find(defaultFont_);
    if (it != fonts_.end()) return it->second;
    return dui::MakeFont(dui::SkinFont{});
}

const std::vector<dui::SkinAttr>* CSkinManager::DefaultAttrs(std::string_view lowerTag) const {
    auto it = defaults_.find(lowerTag);
    return it == defaults_.end() ? nullptr : &it->second;
}

std::string CSkinManager::ResolveImagePath(const std::string& file) const {
    if (file.empty()) return {};
    QString name = QString::fromStdString(file);
    name.replace('\\', '/');
    const bool absolute = QDir::isAbsolutePath(name);
    const QString path = QDir::cleanPath(absolute ? name : QString::fromStdString(folder_) + name);
    auto under = [&](const std::string& root) { return !root.empty() && path.startsWith(QString::fromStdString(root)); };
    if (under(folder_) || std::any_of(roots_.begin(), roots_.end(), under)) return path.toStdString();
    return {};
}

namespace {
// "Im/people.png" -> "Im/people@2x.png".
std::string TwiceName(const std::string& file) {
    const std::size_t slash = file.find_last_of("/\\");
    const std::size_t dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return file + "@2x";
    return file.substr(0, dot) + "@2x" + file.substr(dot);
}
}  // namespace

QPixmap CSkinManager::Image(const std::string& file) {
    if (file.empty()) return {};
    const qreal density = density_ > 0 ? density_ : qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const bool dense = density > 1.0;
    const std::string key = dense ? file + "\n@2x" : file;
    auto it = images_.find(key);
    if (it != images_.end()) return it->second;
    QPixmap pm;
    if (dense) {
        const std::string twice = ResolveImagePath(TwiceName(file));
        if (!twice.empty() && QFileInfo::exists(QString::fromStdString(twice)) &&
            pm.load(QString::fromStdString(twice))) {
            pm.setDevicePixelRatio(2.0);
            images_.emplace(key, pm);
            return pm;
        }
    }
    const std::string path = ResolveImagePath(file);
    if (path.empty()) {
        log_msg("skin: image \"%s\" lies outside the skin folder; not shown", file.c_str());
    } else if (!pm.load(QString::fromStdString(path))) {
        log_msg("skin: cannot read image %s", path.c_str());
    }
    images_.emplace(key, pm);  // failures are remembered too: logged once
    return pm;
}

void CSkinManager::AddNotifier(INotifyUI* n) {
    if (n && std::find(notifiers_.begin(), notifiers_.end(), n) == notifiers_.end()) notifiers_.push_back(n);
}

void CSkinManager::RemoveNotifier(INotifyUI* n) {
    notifiers_.erase(std::remove(notifiers_.begin(), notifiers_.end(), n), notifiers_.end());
}

void CSkinManager::SendNotify(CControlUI* sender, std::string_view type, std::uintptr_t wParam,
                              std::intptr_t lParam, QPoint ptMouse, std::string text) {
    TNotifyUI msg;
    msg.sType = std::string(type);
    msg.pSender = sender;
    msg.senderName = sender ? sender->GetName() : std::string();
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.ptMouse = ptMouse;
    msg.text = std::move(text);
    // A handler may add or remove notifiers; walk a copy and skip removed ones.
    const auto targets = notifiers_;
    for (INotifyUI* n : targets) {
        if (std::find(notifiers_.begin(), notifiers_.end(), n) == notifiers_.end()) continue;
        n->Notify(msg);
    }
}

void CSkinManager::SetRoot(CControlUI* root) { root_ = root; }

CControlUI* CSkinManager::Root() const { return static_cast<CControlUI*>(root_.data()); }

CControlUI* CSkinManager::FindControl(std::string_view name) const {
    CControlUI* root = Root();
    if (!root || name.empty()) return nullptr;
    return root->FindSubControl(name);
}
