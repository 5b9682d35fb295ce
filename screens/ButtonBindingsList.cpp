#include "screens/ButtonBindingsList.h"

#include "core/AtomicFileForWrite.h"
#include "core/FileSystem.h"
#include "core/Format.h"
#include "core/Log.h"
#include "core/Parse.h"
#include "core/Text.h"
#include "core/WinFile.h"
#include "core/XmlDepth.h"
#include "core/XmlEscape.h"
#include "ui/fdList.h"
#include "ui/fdPage.h"

#include <rapidxml/rapidxml.hpp>

#include <SDL.h>

#include <algorithm>
#include <climits>

namespace Screens {

namespace {

// Decimal with leading blanks and a sign; reading stops at the first other
// character, and no digits give 0 (a key name such as "enter" reads as 0).
std::int32_t keyValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), 0x80000000LL);
    value = negative ? -value : value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

} // namespace

void ButtonBindingsList::fillEmptyRow(Ui::TemplateWindow& row) {
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.findChild("text"))) {
        text->setText(u"");
        text->setVisible(false);
    }
    if (auto* code = dynamic_cast<Ui::fdStatic*>(row.findChild("code"))) code->setText(u"");
}

void ButtonBindingsList::fillRow(Ui::TemplateWindow& row, std::int32_t index) {
    const Entry& entry = entries[static_cast<std::size_t>(index)];
    if (auto* text = dynamic_cast<Ui::fdStatic*>(row.widget("text"))) {
        text->setText(Core::ansiToWide(entry.name));
        text->setVisible(true);
    }
    if (auto* code = dynamic_cast<Ui::fdStatic*>(row.widget("code"))) {
        code->setText(entry.key != 0 ? Core::format(u"%d", entry.key) : std::u16string(u"-"));
        code->setVisible(true);
    }
}

void ButtonBindingsList::itemClicked(std::int32_t index) {
    if (index >= 0 && index < count()) m_selected = index;
}

bool ButtonBindingsList::parse(std::string text, std::vector<Entry>& entries) {
    entries.clear();
    if (!Core::xmlDepthWithin(text, 64)) {
        Log::log(Log::Critical, "Error: %s on parsing bindings file", "too deeply nested");
        return false;
    }
    rapidxml::xml_document<char> document;
    text.push_back('\0');
    try {
        document.parse<0>(text.data());
    } catch (const rapidxml::parse_error& error) {
        Log::log(Log::Critical, "Error: %s on parsing bindings file", std::string(error.what()));
        return false;
    }
    const rapidxml::xml_node<char>* root = document.first_node("actions");
    bool valid = root != nullptr;
    for (auto* action = root ? root->first_node("action") : nullptr; valid && action;
         action = action->next_sibling("action")) {
        const auto* name = action->first_attribute("name");
        const auto* key = action->first_attribute("key");
        if (!name || !key) {
            valid = false;
            break;
        }
        const std::int32_t code = keyValue(std::string_view(key->value(), key->value_size()));
        entries.push_back({std::string(name->value(), name->value_size()), code, code});
    }
    if (!valid) {
        entries.clear();
        Log::log(Log::Critical, "Invalid format of bindings file");
    }
    return valid;
}

void ButtonBindingsList::refresh() {
    entries.clear();
    m_selected = -1;
    const std::uint32_t start = SDL_GetTicks();
    Log::log(Log::Info, "Loading buttons bindings...");
    FileSystem::WinFileForRead file(m_path);
    if (file.isOpen()) {
        std::uint32_t size = 0;
        std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, m_path);
        if (bytes && parse(std::string(bytes.get(), size), entries))
            Log::log(Log::Normal, "%d buttons bindings loaded in %u ms",
                     static_cast<std::int32_t>(entries.size()), SDL_GetTicks() - start);
    }
    resetPosition();
    refill();
}

std::string ButtonBindingsList::fileText(const std::vector<Entry>& entries) {
    std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";
    text += "<!-- Key bindings written by Mirel -->\r\n";
    text += "<actions>\r\n";
    for (const Entry& entry : entries)
        text += Core::format("\t<action name=\"%s\" key=\"%s\" />\r\n", Core::xmlEscape(entry.name),
                             entry.key != 0 ? std::to_string(entry.key) : std::string());
    text += "</actions>\r\n";
    return text;
}

bool ButtonBindingsList::write() {
    bool changed = false;
    for (const Entry& entry : entries)
        changed = changed || entry.changed();
    if (!changed) return true;
    // Written beside the target and renamed over it: a crash never leaves
    // half a bindings file.
    FileSystem::AtomicFileForWrite file(m_path);
    const std::string text = fileText(entries);
    if (!file.isOpen() || file.write(text.data(), 1, text.size()) != text.size() || !file.commit()) {
        m_writeError = file.lastError();
        Log::log(Log::Critical, u"Can't create bindings file '%s' (err %d)", m_path, m_writeError);
        file.discard();
        return false;
    }
    for (Entry& entry : entries)
        entry.storedKey = entry.key;
    return true;
}

} // namespace Screens
