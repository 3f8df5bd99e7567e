// Recipe files: text, fields and the judgement of a file as it comes from any editor.
#include "recipe/RecipeFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList fields = recipe::recipeFields(bytes);
    if (fields.size() != recipe::FieldCount)
        abort();
    recipe::recipeText(bytes);
    if (recipe::recipeFault(bytes).isEmpty() && recipe::firstFieldWithComma(fields) >= 0)
        abort();
    return 0;
}
