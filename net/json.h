#pragma once
// A thin holder over cJSON trees. Reading never fails loudly: a member that
// is missing or of another type reads as 0, an empty text or nothing, so
// answers from services can be read without checking every step. Member
// names are matched without regard to case.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/wisdom_ptr.h"

struct cJSON;

namespace json {

// Release of text buffers printed by cJSON.
struct js_byte_free {
    void operator()(char* p) const;
};
using text_ptr = wisdom_ptr<char, js_byte_free>;

struct tree_free {
    void operator()(cJSON* p) const;
};

class value {
public:
    value() = default;  // nothing

    // The tree of a JSON text; nothing when the text is not JSON.
    static value parse(std::string_view text);
    static value object();
    static value array();

    explicit operator bool() const { return node_ != nullptr; }
    bool is_object() const;
    bool is_array() const;
    bool is_string() const;
    bool is_number() const;

    // Members of an object. Nothing / 0 / "" / false when missing, when of
    // another type, or when this is not an object.
    value get(const char* name) const;
    value get_object(const char* name) const;
    value get_array(const char* name) const;
    std::int64_t get_int(const char* name) const;
    double get_double(const char* name) const;
    std::string get_string(const char* name) const;
    bool get_bool(const char* name) const;

    // This node.
    std::int64_t as_int() const;  // saturated; 0 unless a finite number
    double as_double() const;
    std::string as_string() const;

    // Elements of an array (0 / nothing otherwise).
    std::size_t size() const;
    value at(std::size_t index) const;

    // Building. Members replace a member of the same name; a value is copied
    // in. Copies of a holder share its tree, so a change shows in all.
    bool set(const char* name, std::int64_t number);
    bool set(const char* name, std::string_view text);
    bool set(const char* name, const char* text) { return set(name, std::string_view(text)); }
    bool set(const char* name, const value& v);
    bool append(const value& v);

    // Unformatted JSON text; an empty holder for nothing.
    text_ptr print() const;
    std::string dump() const;
    // Indented with tabs, one member a line, as services reading by eye expect.
    std::string dump_formatted() const;

private:
    value(wisdom_ptr<cJSON, tree_free> root, cJSON* node) : root_(std::move(root)), node_(node) {}
    value child(cJSON* node) const { return node ? value(root_, node) : value(); }
    bool put(const char* name, cJSON* item);

    wisdom_ptr<cJSON, tree_free> root_;
    cJSON* node_ = nullptr;
};

}  // namespace json
