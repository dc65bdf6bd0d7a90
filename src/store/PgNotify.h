#pragma once
// Tells the other sessions of a team library when its tables changed: statement triggers that
// NOTIFY the channel LibraryWatcher listens on, delivered when the writing transaction commits.
namespace store {

class Database;

// Adds the triggers (and their function) to a library's schema; part of the caller's transaction.
void createChangeNotification(const Database &db);

} // namespace store
