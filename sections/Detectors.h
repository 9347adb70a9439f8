#pragma once

#include "sections/MainState.h"

// The section detectors and their selector handlers. Each reaches the window
// only through the screen operations of its context.
namespace tolvex {

void DetectSystemCPUs(SectionContext& context);
void cboCPUs_Click(SectionContext& context);

void DetectMotherBoard(SectionContext& context);

void DetectMEM(SectionContext& context);
void cboMem_Click(SectionContext& context);

void DetectSystemNICs(SectionContext& context);
void cboNIC_Click(SectionContext& context);

void DetectVideoAdapter(SectionContext& context);

void DetectSCSI(SectionContext& context);
void cboSCSI_Click(SectionContext& context);

void DetectDRVs(SectionContext& context);
void lvDrives_Click(SectionContext& context);

void DetectOS(SectionContext& context);

// Registers the click handlers of cboCPUs, cboMem, cboNIC, cboSCSI and
// lvDrives on the context's screen.
void connectSelectorHandlers(SectionContext& context);

}  // namespace tolvex
