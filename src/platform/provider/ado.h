// ADO's enumerations and error codes as this provider's objects use them,
// with their documented values.
#pragma once

#include "platform/automation/com_error.h"

namespace provider::adodb {

// ObjectStateEnum
constexpr long adStateClosed = 0;
constexpr long adStateOpen = 1;
// CursorTypeEnum
constexpr long adOpenUnspecified = -1;
constexpr long adOpenForwardOnly = 0;
constexpr long adOpenKeyset = 1;
constexpr long adOpenDynamic = 2;
constexpr long adOpenStatic = 3;
// LockTypeEnum
constexpr long adLockUnspecified = -1;
constexpr long adLockReadOnly = 1;
constexpr long adLockPessimistic = 2;
constexpr long adLockOptimistic = 3;
constexpr long adLockBatchOptimistic = 4;
// CursorLocationEnum
constexpr long adUseServer = 2;
constexpr long adUseClient = 3;
// ConnectModeEnum
constexpr long adModeUnknown = 0;
constexpr long adModeRead = 1;
constexpr long adModeWrite = 2;
constexpr long adModeReadWrite = 3;
constexpr long adModeShareDenyRead = 4;
constexpr long adModeShareDenyWrite = 8;
constexpr long adModeShareExclusive = 12;
constexpr long adModeShareDenyNone = 16;
// CommandTypeEnum
constexpr long adCmdUnspecified = -1;
constexpr long adCmdText = 1;
constexpr long adCmdTable = 2;
constexpr long adCmdStoredProc = 4;
constexpr long adCmdUnknown = 8;
constexpr long adCmdTableDirect = 512;
// ExecuteOptionEnum
constexpr long adOptionUnspecified = -1;
constexpr long adExecuteNoRecords = 128;
// ParameterDirectionEnum
constexpr long adParamUnknown = 0;
constexpr long adParamInput = 1;
constexpr long adParamOutput = 2;
constexpr long adParamInputOutput = 3;
constexpr long adParamReturnValue = 4;
// PositionEnum
constexpr long adPosUnknown = -1;
constexpr long adPosBOF = -2;
constexpr long adPosEOF = -3;

// DataTypeEnum
constexpr long adEmpty = 0;
constexpr long adSmallInt = 2;
constexpr long adInteger = 3;
constexpr long adSingle = 4;
constexpr long adDouble = 5;
constexpr long adCurrency = 6;
constexpr long adDate = 7;
constexpr long adBSTR = 8;
constexpr long adBoolean = 11;
constexpr long adVariant = 12;
constexpr long adDecimal = 14;
constexpr long adTinyInt = 16;
constexpr long adUnsignedTinyInt = 17;
constexpr long adBigInt = 20;
constexpr long adGUID = 72;
constexpr long adBinary = 128;
constexpr long adChar = 129;
constexpr long adWChar = 130;
constexpr long adNumeric = 131;
constexpr long adVarChar = 200;
constexpr long adLongVarChar = 201;
constexpr long adVarWChar = 202;
constexpr long adLongVarWChar = 203;
constexpr long adVarBinary = 204;
constexpr long adLongVarBinary = 205;

constexpr automation::HRESULT adErrInvalidArgument = static_cast<automation::HRESULT>(0x800A0BB9);
constexpr automation::HRESULT adErrNoCurrentRecord = static_cast<automation::HRESULT>(0x800A0BCD);
constexpr automation::HRESULT adErrItemNotFound = static_cast<automation::HRESULT>(0x800A0CC1);
constexpr automation::HRESULT adErrObjectClosed = static_cast<automation::HRESULT>(0x800A0E78);
constexpr automation::HRESULT adErrObjectOpen = static_cast<automation::HRESULT>(0x800A0E79);
constexpr automation::HRESULT adErrProviderNotFound = static_cast<automation::HRESULT>(0x800A0E7A);

}  // namespace provider::adodb
