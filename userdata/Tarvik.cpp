#include "userdata/Tarvik.h"

#include "core/Log.h"
#include "platform/Error.h"
#include "platform/SharedLibrary.h"

namespace {

template <class Fn> bool bind(void* library, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(Platform::librarySymbol(library, name));
    return out != nullptr;
}

} // namespace

void Tarvik::create(TarvikPtr& out, const std::u16string& libraryPath, std::uintptr_t platformValue,
                    unsigned long window, const std::u16string& databasePath) {
    out.reset();
    Log::log(Log::Info, "Creating Tarvik...");
    Log::log(Log::Info, u"Db path: %s", databasePath);
    void* library = Platform::loadLibrary(libraryPath);
    if (!library) {
        const int error = Platform::lastError();
        // The line keeps the plug-in's historical name, which its users
        // search logs for; the file tried follows at Info.
        Log::log(Log::System, "tarvik.dll can't be loaded (err %d)", error);
        Log::log(Log::Info, u"filename = '%s'", libraryPath);
        if (error != Platform::ErrorFileNotFound) Log::log(Log::Info, "%s", Platform::loadLibraryMessage());
        return;
    }
    // Not made through make_unique: the constructor is private, and the
    // destructor must not run the library's functions until all are bound.
    std::unique_ptr<Tarvik> tarvik(new Tarvik);
    tarvik->m_libraryPath = libraryPath;
    // Every function is looked up (each missing one is logged), in order.
    bool all = true;
    for (const bool bound : {bind(library, "InitLibrary", tarvik->m_initLibrary),
                             bind(library, "UninitLibrary", tarvik->m_uninitLibrary),
                             bind(library, "CreateInstance", tarvik->m_createInstance),
                             bind(library, "DestroyInstance", tarvik->m_destroyInstance),
                             bind(library, "GetError", tarvik->m_getError),
                             bind(library, "RunTarvik", tarvik->m_runTarvik)})
        all = all && bound;
    if (!all) {
        Log::log(Log::Critical,
                 "Not all required functions of tarvik.dll can be retreived - Tarvik can't be created");
        Log::log(Log::Critical, u"filename = '%s'", libraryPath);
        tarvik->m_uninitLibrary = nullptr;
        return;
    }
    if (!tarvik->m_initLibrary(platformValue, Log::installed())) {
        // The plug-in's own code: the system has no text for it.
        Log::log(Log::Critical, "Can't init Tarvik library (err %d)",
                 Log::OwnCode{tarvik->m_getError(nullptr)});
        Log::log(Log::Critical, u"filename = '%s'", libraryPath);
        // The library did not initialise: nothing to undo.
        tarvik->m_uninitLibrary = nullptr;
        return;
    }
    // The path travels NUL-terminated; u16string's data() is.
    tarvik->m_instance = tarvik->m_createInstance(window, databasePath.c_str());
    if (!tarvik->m_instance) {
        const std::int32_t error = tarvik->m_getError(nullptr);
        // The destructor calls UninitLibrary (and no DestroyInstance without
        // an instance).
        tarvik.reset();
        Log::log(Log::Critical, "Can't init Tarvik (err %d)", Log::OwnCode{error});
        Log::log(Log::Critical, u"filename = '%s'", libraryPath);
        return;
    }
    out = std::move(tarvik);
}

bool Tarvik::run(Tarvik& tarvik, std::uint32_t objectNumber) {
    Log::log(Log::Info, "Running Tarvik %u...", objectNumber);
    if (tarvik.m_runTarvik(tarvik.m_instance, objectNumber)) return true;
    Log::log(Log::Critical, "Can't run Tarvik (err %d)", Log::OwnCode{tarvik.m_getError(tarvik.m_instance)});
    Log::log(Log::Critical, u"filename = '%s'", tarvik.m_libraryPath);
    return false;
}

Tarvik::~Tarvik() {
    if (m_instance && m_destroyInstance) m_destroyInstance(m_instance);
    if (m_uninitLibrary) m_uninitLibrary();
}
