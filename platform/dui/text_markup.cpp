#include "platform/dui/text_markup.h"

#include <algorithm>
#include <cctype>

#include "platform/dui/skin_model.h"

namespace dui {

namespace {

constexpr int kMaxMove = 4096;
constexpr int kMaxImageSide = 1024;

struct Style {
    bool hasColor = false;
    std::uint32_t color = 0;
    int font = -1;
};

std::vector<std::string> Words(std::string_view s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ') ++i;
        const std::size_t start = i;
        while (i < s.size() && s[i] != ' ') ++i;
        if (i > start) out.emplace_back(s.substr(start, i - start));
    }
    return out;
}

// The name of an image tag body: "name" or "file='name'" (either quote).
std::string ImageName(std::string_view body) {
    while (!body.empty() && body.front() == ' ') body.remove_prefix(1);
    while (!body.empty() && body.back() == ' ') body.remove_suffix(1);
    if (body.substr(0, 5) == "file=") {
        body.remove_prefix(5);
        if (!body.empty() && (body.front() == '\'' || body.front() == '"')) {
            const char q = body.front();
            body.remove_prefix(1);
            const std::size_t end = body.find(q);
            return std::string(body.substr(0, end));
        }
        return std::string(body.substr(0, body.find(' ')));
    }
    return std::string(body);
}

bool IsNumber(std::string_view s) {
    if (!s.empty() && s.front() == '-') s.remove_prefix(1);
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Parser {
public:
    std::vector<TextRun> Run(std::string_view s) {
        std::size_t i = 0;
        while (i < s.size()) {
            if (s[i] == '<') {
                const std::size_t close = s.find('>', i + 1);
                if (close != std::string_view::npos && Tag(s.substr(i + 1, close - i - 1))) {
                    i = close + 1;
                    continue;
                }
            }
            AddText(s.substr(i, 1));
            ++i;
        }
        return std::move(runs_);
    }

private:
    // True when the body is one of our tags (and took effect).
    bool Tag(std::string_view body) {
        if (body == "/c" || body == "/f") {
            auto& stack = body[1] == 'c' ? colorStack_ : fontStack_;
            if (!stack.empty()) {
                if (body[1] == 'c') {
                    style_.hasColor = colorStack_.back().hasColor;
                    style_.color = colorStack_.back().color;
                } else {
                    style_.font = fontStack_.back().font;
                }
                stack.pop_back();
            }
            return true;  // an unmatched closing tag is dropped, not shown
        }
        if (body.size() < 1) return false;
        const char name = body[0];
        if (body.size() > 1 && body[1] != ' ') return false;  // <xy ...> is no tag of ours
        const std::string_view rest = body.substr(1);
        const auto words = Words(rest);
        switch (name) {
            case 'x':
            case 'w': {
                if (words.size() != 1 || !IsNumber(words[0])) return false;
                TextRun r;
                r.kind = name == 'x' ? TextRun::kMove : TextRun::kTab;
                r.amount = std::clamp(ParseInt(words[0], 0), 0, kMaxMove);
                runs_.push_back(r);
                return true;
            }
            case 'i': {
                const std::string image = ImageName(rest);
                if (!image.empty()) {
                    TextRun r;
                    r.kind = TextRun::kImage;
                    r.text = image;
                    runs_.push_back(std::move(r));
                }
                return true;
            }
            case 'e': {
                if (words.empty()) return true;
                TextRun r;
                r.kind = TextRun::kImage;
                r.text = words[0];
                if (words.size() >= 3 && IsNumber(words[1]) && IsNumber(words[2])) {
                    r.width = std::clamp(ParseInt(words[1], 0), 0, kMaxImageSide);
                    r.height = std::clamp(ParseInt(words[2], 0), 0, kMaxImageSide);
                }
                runs_.push_back(std::move(r));
                return true;
            }
            case 'c': {
                if (words.size() != 1) return false;
                std::uint32_t argb = 0;
                colorStack_.push_back(style_);
                if (ParseColor(words[0], argb)) {
                    style_.hasColor = true;
                    style_.color = argb;
                }
                return true;
            }
            case 'f': {
                if (words.size() != 1 || !IsNumber(words[0])) return false;
                fontStack_.push_back(style_);
                style_.font = std::clamp(ParseInt(words[0], -1), -1, 255);
                return true;
            }
            default:
                return false;
        }
    }

    void AddText(std::string_view piece) {
        if (!runs_.empty()) {
            TextRun& last = runs_.back();
            if (last.kind == TextRun::kText && last.hasColor == style_.hasColor &&
                last.color == style_.color && last.font == style_.font) {
                last.text.append(piece);
                return;
            }
        }
        TextRun r;
        r.text = std::string(piece);
        r.hasColor = style_.hasColor;
        r.color = style_.color;
        r.font = style_.font;
        runs_.push_back(std::move(r));
    }

    std::vector<TextRun> runs_;
    Style style_;
    std::vector<Style> colorStack_, fontStack_;
};

}  // namespace

std::vector<TextRun> ParseTextMarkup(std::string_view markup) { return Parser().Run(markup); }

std::string MarkupPlainText(std::string_view markup) {
    std::string out;
    for (const auto& r : ParseTextMarkup(markup))
        if (r.kind == TextRun::kText) out += r.text;
    return out;
}

std::vector<PlacedRun> LayoutTextRuns(const std::vector<TextRun>& runs, const RunMetrics& m) {
    std::vector<PlacedRun> out;
    int x = 0;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const TextRun& r = runs[i];
        switch (r.kind) {
            case TextRun::kMove:
                x += r.amount;
                break;
            case TextRun::kTab:
                x = std::max(x, r.amount);
                break;
            case TextRun::kText: {
                const int w = m.textWidth ? m.textWidth(r.text, r.font) : 0;
                out.push_back({i, x, w, 0});
                x += w;
                break;
            }
            case TextRun::kImage: {
                auto [w, h] = m.imageSize ? m.imageSize(r.text) : std::pair<int, int>{0, 0};
                if (w <= 0 || h <= 0) break;  // missing image: no room taken
                if (r.width > 0 && r.height > 0) w = r.width, h = r.height;
                out.push_back({i, x, w, h});
                x += w;
                break;
            }
        }
        x = std::min(x, kMaxCoord);
    }
    return out;
}

}  // namespace dui
