// Arbitrary text as the role service's answer: the table either keeps what
// it had or holds only roles 1-255, in id order, each once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "room/role_table.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The loader prints one line per role.
    if (!std::freopen("/dev/null", "w", stdout)) return 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CRoleTable table;
    table.Add({5, "kept", 0x123456, {}, {}});
    const bool loaded = table.LoadAnswer(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!loaded) {
        Check(table.Count() == 1 && table.Find(5) && table.Find(5)->name == "kept");
        return 0;
    }
    int last = 0;
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const RoleEntry* r = table.At(i);
        Check(r && r->id > last && r->colour <= 0xFFFFFFu && table.Find(r->id) == r);
        last = r->id;
    }
    Check(table.At(table.Count()) == nullptr);
    return 0;
}
