#pragma once

// The lease side of the tool: the record and list of leases, the console line writer and key
// wait, the lease query with its formatting helpers, and the result writers.

#include "lease/AddressFormat.h"
#include "lease/ConsoleLine.h"
#include "lease/KeyWait.h"
#include "lease/LeaseQuery.h"
#include "lease/LeaseRecord.h"
#include "lease/SystemErrorText.h"
#include "lease/TextWriter.h"
#include "lease/XmlWriter.h"
