// Form storage: a form's window placement and chosen control properties kept
// in the registry (or an INI file) under "Software\<exe stem>\<form class>".
// Registry failures raise ERegistryException with the value or key name.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/formstore/props_store.h"
#include "framework/controls/form_win.h"

namespace quillan {

enum TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };

struct TPlacementOptions {
    bool fpState = true;
    bool fpPosition = true;
    bool fpActiveControl = false;
};

// Size and position limits; 0 = no limit (kept for the stored layout, not enforced).
struct TWinMinMaxInfo {
    int MaxPosLeft = 0, MaxPosTop = 0, MaxSizeHeight = 0, MaxSizeWidth = 0;
    int MaxTrackHeight = 0, MaxTrackWidth = 0, MinTrackHeight = 0, MinTrackWidth = 0;
    bool DefaultMinMaxInfo() const;
};

// Where the values live during one save or restore (or one single-value call).
class TPlacementStorage {
public:
    virtual ~TPlacementStorage() = default;
    // defaultValue when the section or the value is missing.
    virtual std::string ReadString(const std::string& section, const std::string& name,
                                   const std::string& defaultValue) = 0;
    virtual void WriteString(const std::string& section, const std::string& name, const std::string& value) = 0;
};

// "(%dx%d)" with the screen's width and height in pixels.
std::string ResolutionSuffix();
// Four integers separated by blanks and/or commas; missing or invalid ones are 0.
std::array<int, 4> SplitPosition(const std::string& text);

class TPlacementStore {
public:
    // Hooks the owner's show (restore) and close (save); they act only while Active.
    explicit TPlacementStore(win::TForm& owner);
    // With Active and nothing saved since the last restore, saves first (Visible "1").
    virtual ~TPlacementStore();

    bool Active = true;
    std::string IniFileName;
    std::string IniSection;
    TWinMinMaxInfo MinMaxInfo;
    TPlacementOptions Options;
    bool PreventResize = false;
    TPlacementRegRoot RegistryRoot = prCurrentUser;
    bool UseRegistry = false;
    int Version = 0;
    std::function<void()> OnSavePlacement;
    std::function<void()> OnRestorePlacement;

    // Writes "FormVersion", the placement and the properties. Does nothing for an
    // active storage that has not restored yet. The storage is closed on every path.
    void SaveFormState();
    // Reads them back; a missing value leaves its part unchanged.
    void RestoreFormState();

    // "Software\" + the executable's file name without its last extension (or IniFileName).
    std::string StorageKey() const;
    // The form's class name (or IniSection).
    std::string StorageSection() const;

    // Single values of the current section; the storage is opened for the call when none is open.
    std::string ReadString(const std::string& name, const std::string& defaultValue);
    void WriteString(const std::string& name, const std::string& value);
    int ReadInteger(const std::string& name, int defaultValue);
    void WriteInteger(const std::string& name, int value);

    bool HasRestored() const { return hasRestored_; }

protected:
    // The save of the owner's destruction; derived stores call it from their own
    // destructor, while their part still exists.
    void SaveOnDestroy() noexcept;
    virtual void SaveProps(TPropsStore&) {}
    virtual void RestoreProps(TPropsStore&) {}
    win::TForm& Owner() const { return owner_; }

    // The registry key or INI file of one save or restore.
    virtual std::unique_ptr<TPlacementStorage> OpenStorage(bool forWriting) const;

private:
    void SavePlacement();
    void RestorePlacement();
    void RestorePosition(WINDOWPLACEMENT& wp);
    void RestoreState();
    void AdjustMaxPosition();
    TPropsStore MakePropsStore();

    win::TForm& owner_;
    std::unique_ptr<TPlacementStorage> storage_;
    bool hasRestored_ = false;
    bool hasSaved_ = false;
    bool savingOnDestroy_ = false;
    int showHook_ = 0;
    int closeHook_ = 0;
};

// One extra named value kept beside the properties.
struct TStoredValue {
    std::string Name;
    std::string Value;
    std::string KeyString;  // the value name; Name when empty
    std::function<void(TStoredValue&)> OnSave;
    std::function<void(TStoredValue&)> OnRestore;
};

class TFormStore : public TPlacementStore {
public:
    using TPlacementStore::TPlacementStore;
    ~TFormStore() override { SaveOnDestroy(); }

    // Entries "Component.Property"; resolved against the owner form by Loaded.
    void SetStoredProps(const std::vector<std::string>& entries);
    // The entries as they stand (component names as they are now).
    std::vector<std::string> StoredProps() const;
    // End of loading: entries without "." or an empty part, or whose component
    // the form does not have, are deleted.
    void Loaded();
    std::vector<TStoredValue> StoredValues;

protected:
    void SaveProps(TPropsStore& store) override;
    void RestoreProps(TPropsStore& store) override;

private:
    struct TEntry {
        std::string Component;
        std::string Property;
        win::TControl* Object = nullptr;
    };
    void UpdateEntries();
    std::vector<TEntry> entries_;
};

}  // namespace quillan
