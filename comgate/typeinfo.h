// Type information for COM clients of a script object, built from the class
// information the runtime keeps: a dispatch-only interface whose functions
// and variables are the class's members.
#pragma once

#include <oaidl.h>

#include "qvscript.h"

// E_INVALIDARG when the script object offers no class information.
HRESULT cg_makeTypeInfo(QvIntf *script, ITypeInfo **out);

// The VARTYPE of a script result type code and of a parameter type byte.
VARTYPE cg_resultType(int code);
ELEMDESC cg_paramDesc(unsigned char type);
