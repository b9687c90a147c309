#include "compare/ado_record_connection.h"

#include <vector>

#include "platform/provider/ado.h"
#include "platform/provider/ado_connection.h"
#include "platform/provider/ado_recordset.h"

namespace {

namespace adodb = provider::adodb;

class AdoRecordCursor : public RecordCursor {
public:
    AdoRecordCursor(AdoRecordConnection& connection, std::wstring statement)
        : connection_(connection), statement_(std::move(statement))
    {
    }

    void Open() override
    {
        if (!recordset_) {
            recordset_ = automation::CreateObjectAs<adodb::Recordset>(L"ADODB.Recordset");
            recordset_->SetCursorLocation(adodb::adUseServer);
        }
        recordset_->Open(automation::Variant(statement_), connection_.Held().Open(),
                         adodb::adOpenStatic,
                         adodb::adLockOptimistic, 0);
        // The field objects stay valid while the recordset is open; taking them once
        // keeps the per-row cost to the values themselves.
        fields_.clear();
        const auto fields = recordset_->Fields();
        for (long i = 0; i < fields->Count(); ++i)
            fields_.push_back(fields->Item(i));
    }
    void Close() override
    {
        fields_.clear();
        recordset_->Close();
    }
    bool IsEof() override { return recordset_->IsEOF(); }
    int AbsolutePosition() override { return static_cast<int>(recordset_->AbsolutePosition()); }
    void SetAbsolutePosition(int position) override { recordset_->SetAbsolutePosition(position); }
    int FieldCount() override { return static_cast<int>(fields_.size()); }
    const automation::Variant& FieldValue(int index) override { return fields_.at(index)->Value(); }
    automation::Variant TakeFieldValue(int index) override
    {
        return fields_.at(index)->TakeValue();
    }
    void SwapFieldValue(int index, automation::Variant& value) override
    {
        fields_.at(index)->SwapValue(value);
    }
    void TakeRow(DbRecord& record) override
    {
        slots_.resize(fields_.size());
        for (size_t i = 0; i < slots_.size(); ++i)
            slots_[i] = &record.MutableValue(i);
        recordset_->TakeRow(slots_.data());
    }
    void TakeRowAndMoveNext(DbRecord& record) override
    {
        slots_.resize(fields_.size());
        for (size_t i = 0; i < slots_.size(); ++i)
            slots_[i] = &record.MutableValue(i);
        recordset_->TakeRowAndMoveNext(slots_.data());
    }
    std::vector<provider::RowImage::Kind> ImageKinds() override { return recordset_->ImageKinds(); }
    void TakeImageAndMoveNext(provider::RowImage& image,
                              const provider::RowImage::Kind* kinds) override
    {
        recordset_->TakeImageAndMoveNext(image, kinds);
    }
    void TakeImagesAndMoveNext(provider::RowImage* const* images, size_t count,
                               const provider::RowImage::Kind* kinds, size_t& taken) override
    {
        recordset_->TakeImagesAndMoveNext(images, count, kinds, taken);
    }
    void MoveNext() override { recordset_->MoveNext(); }
    void EndReadAhead() override
    {
        if (recordset_)
            recordset_->EndReadAhead();
    }
    void HoldReads(bool hold) override
    {
        if (recordset_)
            recordset_->HoldReads(hold);
    }

private:
    AdoRecordConnection& connection_;
    const std::wstring statement_;
    automation::Ptr<adodb::Recordset> recordset_;
    std::vector<automation::Ptr<adodb::Field>> fields_;
    std::vector<automation::Variant*> slots_;  // TakeRow's targets
};

}  // namespace

AdoRecordConnection::AdoRecordConnection(const ConnectionSettings& settings)
    : settings_(settings), connection_(&settings_)
{
}

AdoRecordConnection::~AdoRecordConnection() = default;

std::unique_ptr<RecordCursor> AdoRecordConnection::CreateCursor(const std::wstring& statement)
{
    return std::make_unique<AdoRecordCursor>(*this, statement);
}

DbConnection& AdoRecordConnection::Held()
{
    if (closed_)
        throw automation::ComError(automation::E_FAIL,
                                   L"The databases of this comparison have been closed since it "
                                   L"ran, and may have changed: compare them again.");
    if (connection_.State() != 1) {
        connection_.Open();
        opened_ = true;
    }
    return connection_;
}

automation::Variant AdoRecordConnection::ExecuteScalar(const std::wstring& statement)
{
    const auto recordset = Held().Open()->Execute(statement, nullptr, adodb::adCmdText);
    automation::Variant value;
    if (!recordset->IsEOF())
        value = recordset->Fields()->Item(0L)->Value();
    recordset->Close();
    return value;
}

void AdoRecordConnection::Close()
{
    closed_ = opened_;
    connection_.Close();
}
