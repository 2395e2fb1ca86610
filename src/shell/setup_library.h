// The binding of the device-setup library that start-up requires: the library must load and
// every one of its entry points must resolve. None of them is ever called.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/kernel_services.h"

namespace orm {

class SetupApiBinding {
  public:
    // A bind request. Only the first request loads the library and resolves its slots (the
    // platform's slot names, in order); later requests count and answer true. True when the
    // library is bound; a library that lacks an entry point is unbound again and gives false.
    bool LoadSetupApi(KernelServices& ks);
    bool IsSetupApiLoaded() const { return m_library != nullptr; }
    // Gives back one request; the last one frees the library and clears every slot.
    void UnloadSetupApi(KernelServices& ks);

    std::int32_t BindCount() const { return m_bindCount; }
    const std::vector<void*>& Slots() const { return m_slots; }

  private:
    void* m_library = nullptr;
    std::int32_t m_bindCount = 0;
    std::vector<void*> m_slots;  // one code address (or null) per slot name
};

}  // namespace orm
