#pragma once
// The program's side of the optional external waypoints plug-in: a shared
// library ("tarvik_win.so" in the program folder) that gets the loaded
// atlas's extra points-of-interest database and acts on one object chosen
// on the map. The library is bound by its six exported functions (see
// docs/waypoints-plugin.md for their C signatures) and stays loaded until the
// process ends; the Tarvik object owns one instance of it.

#include "map/AtlasServices.h"

#include <cstdint>
#include <memory>
#include <string>

class Tarvik;
using TarvikPtr = std::unique_ptr<Tarvik>;

class Tarvik : public Map::AtlasPart {
  public:
    // The exported functions, as the library defines them.
    using InitLibraryFn = std::uint8_t (*)(std::uintptr_t platformValue, void* logger);
    using UninitLibraryFn = void (*)();
    using CreateInstanceFn = void* (*)(unsigned long window, const char16_t* databasePath);
    using DestroyInstanceFn = void (*)(void* instance);
    using GetErrorFn = std::int32_t (*)(void* instance);
    using RunTarvikFn = std::uint8_t (*)(void* instance, std::uint32_t objectNumber);

    // Loads the library at libraryPath, binds it, initialises it with the
    // platform value and the global logger and creates an instance on the
    // database. On success out owns the new object; on any failure (logged)
    // out is empty and, from the library's side, nothing is left
    // initialised.
    static void create(TarvikPtr& out, const std::u16string& libraryPath, std::uintptr_t platformValue,
                       unsigned long window, const std::u16string& databasePath);
    // Runs the plug-in on an object; false (logged) when it reports a
    // failure.
    static bool run(Tarvik& tarvik, std::uint32_t objectNumber);

    // Destroys the instance, then uninitialises the library.
    ~Tarvik() override;
    Tarvik(const Tarvik&) = delete;
    Tarvik& operator=(const Tarvik&) = delete;

  private:
    Tarvik() = default;

    InitLibraryFn m_initLibrary = nullptr;
    UninitLibraryFn m_uninitLibrary = nullptr;
    CreateInstanceFn m_createInstance = nullptr;
    DestroyInstanceFn m_destroyInstance = nullptr;
    GetErrorFn m_getError = nullptr;
    RunTarvikFn m_runTarvik = nullptr;
    void* m_instance = nullptr;
    // The plug-in's file, named beside its failures.
    std::u16string m_libraryPath;
};
