#pragma once
// The page factory asks each area in turn for the page of a design name.
// Each function makes the page (the interface owns it) and returns true
// when the name is one of its area's, false otherwise.

#include <string>

namespace engine {

class fdEngine;

bool createSearchPage(fdEngine& engine, const std::string& designName);
bool createUserDataPage(fdEngine& engine, const std::string& designName);
bool createOnlinePage(fdEngine& engine, const std::string& designName);
bool createMenuPage(fdEngine& engine, const std::string& designName);
bool createSettingsPage(fdEngine& engine, const std::string& designName);
bool createGpsPage(fdEngine& engine, const std::string& designName);

// Builds every page the design does not describe from the design's stand-in
// template, so that each page the program opens has a way back.
void buildStandInPages(fdEngine& engine);

} // namespace engine
