// Which settings operations stand behind each single-choice section, for R and W alike.
#pragma once

#include "bios_service.h"
#include "option_tables.h"

struct ChoiceBinding {
    bool (BiosService::*get)(uint32_t&);
    bool (BiosService::*set)(uint32_t);
    const char* setName;           // the set operation's name, as a plan of W's calls shows it
    const wchar_t* changeFailure;  // W's own line when the set fails, with the index as "%d"
};

// The binding of a single-choice section; null for every other kind of section.
const ChoiceBinding* choiceBinding(SectionId::Value id);
