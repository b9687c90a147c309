// One column of a table and its column definition text.
#include "database/schema_field.h"

#include <utility>

#include "database/data_type_table.h"
#include "platform/automation/variant.h"

namespace {

// ADO codes whose column definitions carry a size or a precision and scale.
constexpr int kAdoWChar = 130;
constexpr int kAdoVarWChar = 202;
constexpr int kAdoNumeric = 131;

}  // namespace

SchemaField::SchemaField(SchemaTable* owner, std::wstring name, const DataType* dataType,
                         int definedSize, bool autoincrement,
                         std::optional<std::wstring> defaultValue, int numericScale, int precision,
                         bool nullable, bool compressed, std::wstring validationRule)
    : SchemaObject(std::move(name)),
      owner_(owner),
      validationRule_(std::move(validationRule)),
      dataType_(dataType != nullptr ? dataType : DataTypeTable::Unknown()),
      definedSize_(definedSize),
      autoincrement_(autoincrement),
      defaultValue_(std::move(defaultValue)),
      numericScale_(numericScale),
      precision_(precision),
      nullable_(nullable),
      compressed_(compressed)
{
}

SchemaField::~SchemaField() = default;

int SchemaField::Kind() const
{
    return kField;
}

std::wstring SchemaField::ColumnDefinition() const
{
    std::wstring text;
    if (autoincrement_) {
        // A counter's type, size and nullability are implied by AUTOINCREMENT.
        text = L" AUTOINCREMENT";
    } else {
        text = L" ";
        text += dataType_->SqlName();
        const int adoType = dataType_->AdoType();
        if (adoType == kAdoWChar || adoType == kAdoVarWChar) {
            text += L"(" + std::to_wstring(definedSize_) + L")";
        } else if (adoType == kAdoNumeric) {
            text +=
                L"(" + std::to_wstring(precision_) + L", " + std::to_wstring(numericScale_) + L")";
        }
        if (compressed_)
            text += L" WITH COMPRESSION";
        if (!nullable_)
            text += L" NOT NULL";
    }
    if (defaultValue_) {
        text += L" DEFAULT ";
        text += *defaultValue_;
    }
    return text;
}

std::optional<std::wstring> SchemaField::DefaultFromProperty(const automation::Variant& value)
{
    if (value.IsEmpty())
        return std::nullopt;
    // A NULL default has no text form; converting it would fail. The SQL word keeps
    // the column definition what it was declared as.
    if (value.IsNull())
        return std::wstring(L"NULL");
    if (value.vt() == automation::VT_BSTR)
        return value.bstrVal();
    return automation::ChangeType(value, automation::VT_BSTR).bstrVal();
}
