// Runs the demonstration's scenario with a chosen heap behind its list.
#ifndef SLOT_LIST_TEST_SCENARIO_RUN_H
#define SLOT_LIST_TEST_SCENARIO_RUN_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <slot_list/slot_list.h>

#include "demo.h"

struct ScenarioRun {
    int Status;
    std::string Output;
};

// The scenario's exit status and everything it wrote to standard output; the
// platform's heap is back behind the list afterwards.
inline ScenarioRun RunScenarioWithHeap(const ListHeapMethods &heap) {
    EXPECT_EQ(1, ListSetHeap(&heap));
    ::testing::internal::CaptureStdout();
    int status = RunScenario();
    std::fflush(stdout);
    std::string output = ::testing::internal::GetCapturedStdout();
    ListSetHeap(nullptr);
    return {status, output};
}

#endif // SLOT_LIST_TEST_SCENARIO_RUN_H
