#pragma once
// What a removal left behind in the registry, and the one message that says so.
#include <string>

struct RemovalOutcome {
  int keysLeft = 0;
  int valuesLeft = 0;
  // The registry refused a deletion for lack of rights.
  bool accessDenied = false;

  bool Complete() const { return keysLeft == 0 && valuesLeft == 0; }
  void Add(const RemovalOutcome& other) {
    keysLeft += other.keysLeft;
    valuesLeft += other.valuesLeft;
    accessDenied = accessDenied || other.accessDenied;
  }
};

// The message for a removal of `what` (an entry's or a product's name) that left something behind;
// empty when it left nothing.
std::string IncompleteRemovalMessage(const std::string& what, const RemovalOutcome& outcome);
