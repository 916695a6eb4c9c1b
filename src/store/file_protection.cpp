#include "store/file_protection.h"

namespace zelvant {

DocumentKey::DocumentKey(const FileKey& legacy) : form_(FileForm::Legacy), legacy_(legacy) {}

DocumentKey::DocumentKey(SealedKey sealed) : form_(FileForm::Sealed), sealed_(std::move(sealed)) {}

bool DocumentKey::Empty() const {
    return form_ == FileForm::Legacy ? legacy_.Empty() : sealed_.Empty();
}

void DocumentKey::Clear() {
    legacy_.Clear();
    sealed_ = SealedKey();
    form_ = FileForm::Legacy;
}

std::string ProtectionText(FileForm form, const SealParams& params) {
    if (form == FileForm::Legacy) {
        return "legacy (no key derivation; weak)";
    }
    if (params.passes == 0) {
        return "sealed (Argon2id, XChaCha20-Poly1305)";  // not written yet
    }
    const std::uint32_t kib = params.memoryKiB;
    const std::string memory =
        kib % 1024 == 0 ? std::to_string(kib / 1024) + " MiB" : std::to_string(kib) + " KiB";
    return "sealed (Argon2id, " + memory + ", " + std::to_string(params.passes) +
           (params.passes == 1 ? " pass" : " passes") + ", XChaCha20-Poly1305)";
}

std::string ProtectionText(const DocumentKey& key) {
    if (key.Empty()) {
        return {};
    }
    return ProtectionText(key.Form(),
                          key.Form() == FileForm::Sealed ? key.Sealed().Params() : SealParams{});
}

}  // namespace zelvant
