// The stand-in edit-manager COM server, registered in the test process with
// CoRegisterClassObject: it offers the newer interface or only the older
// one, records every registration and keeps the registered sink for the
// test to call.
#pragma once

#include <string>
#include <vector>

#include "editmgr.h"

namespace th {

struct EditMgrRegistration {
    std::wstring name;
    long process;  // -1 through the older interface
    long id;
};

class EditMgrServer {
public:
    // Call on a thread that initialised COM.
    explicit EditMgrServer(bool newer, long id = 42, HRESULT registerResult = S_OK);
    ~EditMgrServer();
    EditMgrServer(const EditMgrServer &) = delete;
    EditMgrServer &operator=(const EditMgrServer &) = delete;

    std::vector<EditMgrRegistration> registrations;
    std::vector<long> unregistrations;
    int instances = 0;  // objects made by the class factory
    // The sink of the last registration (held by the server), or null.
    IDispatch *sink = nullptr;
    IQvEditSink *primary() const;
    IQvEditSink2 *second() const;

private:
    friend class EditMgrObject;
    bool newer_;
    long id_;
    HRESULT registerResult_;
    DWORD cookie_ = 0;
    IClassFactory *factory_ = nullptr;
};

}  // namespace th
