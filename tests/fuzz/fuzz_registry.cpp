// The settings store's text (UTF-8, or UTF-16LE after its mark): anything read either raises
// the store's error or gives keys that write back and read again as the same keys.
#include "core/QuillmereError.h"
#include "store/RegistrySyntax.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<store::RegistryKey> keys;
    try {
        keys = store::parseRegistry(bytes, QStringLiteral("settings.reg"));
    } catch (const QuillmereError&) {
        return 0;
    }
    const QByteArray written = store::serialiseRegistry(keys);
    try {
        const QByteArray again =
            store::serialiseRegistry(store::parseRegistry(written, QStringLiteral("again.reg")));
        if (again != written) {
            fprintf(stderr, "written:\n%s\nread back and written again:\n%s\n", written.constData(),
                    again.constData());
            abort();
        }
    } catch (const QuillmereError& e) {
        // What the store writes, it must read.
        fprintf(stderr, "%s\n%s\n", e.what(), written.constData());
        abort();
    }
    return 0;
}
