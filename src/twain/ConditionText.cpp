#include "twain/ConditionText.h"

const char* ConditionText(TW_UINT16 conditionCode) {
  switch (conditionCode) {
    case TWCC_SUCCESS: return "Success message from detailed error request ??";
    case TWCC_BUMMER: return "Bummer error.";
    case TWCC_LOWMEMORY: return "Low Memory Condition encountered, free up some memory and try again.";
    case TWCC_NODS: return "No Data Source found error.";
    case TWCC_MAXCONNECTIONS: return "Source is connected to max possible apps.";
    case TWCC_OPERATIONERROR: return "An operation error just occurred.";
    case TWCC_BADCAP: return "Bad capabilities error.";
    case TWCC_BADPROTOCOL: return "Bad protocol error.";
    case TWCC_BADVALUE: return "Bad value error.";
    case TWCC_SEQERROR: return "DG DAT MSG is out of expected sequence.";
    case TWCC_CAPUNSUPPORTED: return "Capability not supported by source.";
    case TWCC_CAPBADOPERATION: return "Operation not supported by capability.";
    default: return "Unknown Error value in condition code.";
  }
}
