#pragma once
// The key a data file is opened and saved with, in either form: the legacy key made from the
// password itself, or a sealed file's derived key with its salt and parameters. The rest of the
// program holds one of these and asks it which form it stands for only to show it.

#include <string>

#include "store/file_cipher.h"
#include "store/sealed_cipher.h"

namespace zelvant {

enum class FileForm { Legacy, Sealed };

class DocumentKey {
  public:
    DocumentKey() = default;
    DocumentKey(const FileKey& legacy);  // NOLINT: a legacy key is a document key
    DocumentKey(SealedKey sealed);       // NOLINT: so is a sealed one

    bool Empty() const;
    void Clear();
    FileForm Form() const { return form_; }
    const FileKey& Legacy() const { return legacy_; }
    const SealedKey& Sealed() const { return sealed_; }

  private:
    FileForm form_ = FileForm::Legacy;
    FileKey legacy_;
    SealedKey sealed_;
};

// "sealed (Argon2id, 256 MiB, 3 passes, XChaCha20-Poly1305)" or "legacy (no key derivation;
// weak)", as the command line's info shows it.
std::string ProtectionText(FileForm form, const SealParams& params = {});
// The same for a key; an empty key describes nothing.
std::string ProtectionText(const DocumentKey& key);

}  // namespace zelvant
