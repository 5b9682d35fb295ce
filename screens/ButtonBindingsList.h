#pragma once
// The actions of the design's bindings file with the key bound to each, as
// the button bindings page lists them, and the file as that page reads and
// writes it:
//   EF BB BF <?xml version="1.0" encoding="UTF-8" ?>   (lines end in CR LF)
//   <!-- comment -->
//   <actions>
//   \t<action name="up" key="273" />                  (key="" when unbound)
//   </actions>

#include "ui/ListModels.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Screens {

class ButtonBindingsList final : public Ui::List {
  public:
    struct Entry {
        std::string name;
        // The key as last read from or written to the file.
        std::int32_t storedKey = 0;
        // The key shown; 0 is none.
        std::int32_t key = 0;
        bool changed() const { return key != storedKey; }
    };

    // path: the bindings file.
    ButtonBindingsList(Ui::fdList& list, std::u16string path) : List(list), m_path(std::move(path)) {}

    std::int32_t selectedIndex() const override { return m_selected; }
    std::int32_t count() const override { return static_cast<std::int32_t>(entries.size()); }
    void fillEmptyRow(Ui::TemplateWindow& row) override;
    void fillRow(Ui::TemplateWindow& row, std::int32_t index) override;
    // Reads the file again (selection none, back at the top).
    void refresh() override;
    void itemClicked(std::int32_t index) override;
    // Refills the rows where the list stands.
    void redraw() { refill(); }

    // Writes every entry when one is changed; the written keys become the
    // stored ones. False (logged "Can't create bindings file '%s' (err %d)")
    // when the file cannot be created; the entries stay changed.
    bool write();
    // The Win32 number of why the last write failed.
    int writeError() const { return m_writeError; }

    // The file's text for the entries.
    static std::string fileText(const std::vector<Entry>& entries);
    // The entries of a file's text; false, with no entries, when it is no
    // bindings file (logged: "Error: %s on parsing bindings file" or
    // "Invalid format of bindings file").
    static bool parse(std::string text, std::vector<Entry>& entries);

    std::vector<Entry> entries;

  private:
    std::u16string m_path;
    std::int32_t m_selected = -1;
    int m_writeError = 0;
};

} // namespace Screens
