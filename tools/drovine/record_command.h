// The drovine host's device commands: `drovine record` replays recorded
// tablet input as painting, records it as an AVI video and, if asked,
// exports pages of it as a PDF document.
#pragma once

int RunRecordCommand(int argc, char** argv);  // argv[0] is "record"
