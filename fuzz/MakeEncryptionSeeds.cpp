// Writes the seed inputs of the key bag and file record fuzz targets: key bags of both derivation
// schemes, and MBFile archives with and without an encryption key.
// Usage: quarrow_fuzz_encryption_seeds KEYBAG_FOLDER ARCHIVEDFILE_FOLDER

#include "DeviceDb.h"
#include "EncryptedBackup.h"

#include <cstdio>
#include <string>

using namespace quarrow::fixtures;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s KEYBAG_FOLDER ARCHIVEDFILE_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string keyBags = argv[1];
    const std::string archives = argv[2];
    BackupEncryption settings;
    settings.iterations = 2;
    settings.dpic = 2;
    bool ok = writeFile(keyBags + "/seed-two-steps", keyBagBytes(settings));
    settings.twoSteps = false;
    settings.classes = {1, 3};
    ok = writeFile(keyBags + "/seed-one-step", keyBagBytes(settings)) && ok;
    ok = writeFile(archives + "/seed-encrypted",
                   archivedFileBlob("Library/SMS/sms.db", 4096, 3, wrappedWithClass(3, fixtureKey("seed")))) &&
         ok;
    ok = writeFile(archives + "/seed-plain", archivedFileBlob("NoteStore.sqlite", 0, 4, std::nullopt)) && ok;
    return ok ? 0 : 1;
}
