#pragma once

// A page that edits something the user may leave unsaved (the editors).
// Before the window replaces such a page it asks whether to leave it.
class UnsavedChanges {
public:
    virtual ~UnsavedChanges() = default;

    // Whether what the page shows differs from what was last loaded or saved.
    virtual bool HasUnsavedChanges() const = 0;
    // The changes are given up: the page may be left without a question
    // ("Cancel Edit").
    virtual void DiscardChanges() = 0;

protected:
    UnsavedChanges() = default;
    UnsavedChanges(const UnsavedChanges&) = default;
    UnsavedChanges& operator=(const UnsavedChanges&) = default;
};
