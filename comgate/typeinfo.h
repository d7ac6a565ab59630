// Type information for COM clients of a script object, built from the class
// information the runtime keeps: a dispatch-only interface whose functions
// and variables are the class's members.
#pragma once

#include <oaidl.h>

#include "qvscript.h"

// E_INVALIDARG when the script object offers no class information.
HRESULT cg_makeTypeInfo(QvIntf *script, ITypeInfo **out);

// Member ids of a script object for COM names: a miss gives -1 for that
// name and DISP_E_UNKNOWNNAME for the call, the others still filled.
HRESULT cg_memberIds(QvIntf *script, LPOLESTR *names, UINT count, DISPID *ids);

// The VARTYPE of a script result type code and of a parameter type byte.
VARTYPE cg_resultType(int code);
ELEMDESC cg_paramDesc(unsigned char type);
