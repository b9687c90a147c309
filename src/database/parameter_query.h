// A stored procedure: a stored query with declared parameters, which it owns.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/schema_query.h"

class DataType;

// One declared parameter of a stored procedure.
class QueryParameter {
public:
    // dataType points into the data-type table and is never owned; null stands for
    // the table's "unknown data type".
    QueryParameter(std::wstring name, const DataType* dataType, int size, int numericScale,
                   int precision);
    virtual ~QueryParameter();

    QueryParameter(const QueryParameter&) = delete;
    QueryParameter& operator=(const QueryParameter&) = delete;

    const std::wstring& Name() const { return name_; }
    const DataType* Type() const { return dataType_; }
    int Size() const { return size_; }
    int NumericScale() const { return numericScale_; }
    int Precision() const { return precision_; }

private:
    std::wstring name_;
    const DataType* dataType_;
    int size_;
    int numericScale_;
    int precision_;
};

class ParameterQuery : public SchemaQuery {
public:
    using SchemaQuery::SchemaQuery;
    ~ParameterQuery() override;

    QueryParameter* AddParameter(std::unique_ptr<QueryParameter> parameter);

    const std::vector<std::unique_ptr<QueryParameter>>& Parameters() const { return parameters_; }

private:
    std::vector<std::unique_ptr<QueryParameter>> parameters_;
};
