#include "net/json.h"

#include <cjson/cJSON.h>

#include <cmath>
#include <limits>

namespace json {

void js_byte_free::operator()(char* p) const { cJSON_free(p); }
void tree_free::operator()(cJSON* p) const { cJSON_Delete(p); }

value value::parse(std::string_view text) {
    cJSON* root = cJSON_ParseWithLength(text.data(), text.size());
    if (!root) return {};
    return value(wisdom_ptr<cJSON, tree_free>(root), root);
}

value value::object() {
    cJSON* root = cJSON_CreateObject();
    if (!root) return {};
    return value(wisdom_ptr<cJSON, tree_free>(root), root);
}

value value::array() {
    cJSON* root = cJSON_CreateArray();
    if (!root) return {};
    return value(wisdom_ptr<cJSON, tree_free>(root), root);
}

bool value::is_object() const { return cJSON_IsObject(node_); }
bool value::is_array() const { return cJSON_IsArray(node_); }
bool value::is_string() const { return cJSON_IsString(node_); }
bool value::is_number() const { return cJSON_IsNumber(node_); }

value value::get(const char* name) const {
    if (!cJSON_IsObject(node_) || !name) return {};
    return child(cJSON_GetObjectItem(node_, name));  // case-insensitive lookup
}

value value::get_object(const char* name) const {
    value v = get(name);
    return v.is_object() ? v : value();
}

value value::get_array(const char* name) const {
    value v = get(name);
    return v.is_array() ? v : value();
}

std::int64_t value::get_int(const char* name) const { return get(name).as_int(); }
double value::get_double(const char* name) const { return get(name).as_double(); }
std::string value::get_string(const char* name) const { return get(name).as_string(); }

bool value::get_bool(const char* name) const {
    value v = get(name);
    return cJSON_IsTrue(v.node_);
}

std::int64_t value::as_int() const {
    if (!cJSON_IsNumber(node_)) return 0;
    const double d = node_->valuedouble;
    // Converting an out-of-range double is undefined; saturate instead.
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

double value::as_double() const { return cJSON_IsNumber(node_) ? node_->valuedouble : 0.0; }

std::string value::as_string() const {
    if (!cJSON_IsString(node_) || !node_->valuestring) return {};
    return node_->valuestring;
}

std::size_t value::size() const {
    if (!cJSON_IsArray(node_)) return 0;
    const int n = cJSON_GetArraySize(node_);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

value value::at(std::size_t index) const {
    if (!cJSON_IsArray(node_) || index >= size()) return {};
    return child(cJSON_GetArrayItem(node_, static_cast<int>(index)));
}

bool value::put(const char* name, cJSON* item) {
    if (!item) return false;
    if (!cJSON_IsObject(node_) || !name) {
        cJSON_Delete(item);
        return false;
    }
    if (const cJSON* old = cJSON_GetObjectItem(node_, name)) {
        // Keep the spelling the member already has.
        const std::string kept = old->string ? old->string : name;
        return cJSON_ReplaceItemInObject(node_, kept.c_str(), item);
    }
    return cJSON_AddItemToObject(node_, name, item);
}

bool value::set(const char* name, std::int64_t number) {
    return put(name, cJSON_CreateNumber(static_cast<double>(number)));
}

bool value::set(const char* name, std::string_view text) {
    // cJSON texts end at a NUL; the copy makes one.
    return put(name, cJSON_CreateString(std::string(text).c_str()));
}

bool value::set(const char* name, const value& v) {
    if (!v) return false;
    return put(name, cJSON_Duplicate(v.node_, true));
}

bool value::append(const value& v) {
    if (!cJSON_IsArray(node_) || !v) return false;
    cJSON* copy = cJSON_Duplicate(v.node_, true);
    return copy && cJSON_AddItemToArray(node_, copy);
}

text_ptr value::print() const {
    if (!node_) return {};
    return text_ptr(cJSON_PrintUnformatted(node_));
}

std::string value::dump() const {
    text_ptr p = print();
    return p ? std::string(p.get()) : std::string();
}

std::string value::dump_formatted() const {
    if (!node_) return {};
    text_ptr p(cJSON_Print(node_));
    return p ? std::string(p.get()) : std::string();
}

}  // namespace json
