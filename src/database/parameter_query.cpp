// A stored procedure and its parameters.
#include "database/parameter_query.h"

#include <utility>

#include "database/data_type_table.h"

QueryParameter::QueryParameter(std::wstring name, const DataType* dataType, int size,
                               int numericScale, int precision)
    : name_(std::move(name)),
      dataType_(dataType != nullptr ? dataType : DataTypeTable::Unknown()),
      size_(size),
      numericScale_(numericScale),
      precision_(precision)
{
}

QueryParameter::~QueryParameter() = default;

ParameterQuery::~ParameterQuery() = default;

QueryParameter* ParameterQuery::AddParameter(std::unique_ptr<QueryParameter> parameter)
{
    return AppendOwned(parameters_, std::move(parameter));
}
