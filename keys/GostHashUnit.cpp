#include "keys/GostHashUnit.h"

namespace lumvaris::keys {

GostHashContext& HashContext() {
    static GostHashContext context;
    return context;
}

BinaryKey& BinaryKeyBuffer() {
    static BinaryKey buffer{};
    return buffer;
}

void GostHashInit() {
    HashContext().Init();
}

std::uint32_t GostHashUpdate(const void* data, std::uint32_t length) {
    return HashContext().Update(data, length);
}

void GostHashFinal() {
    HashContext().Final(BinaryKeyBuffer());
}

}  // namespace lumvaris::keys
