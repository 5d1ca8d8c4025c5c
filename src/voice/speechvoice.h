#pragma once

class ETextToSpeech;

// The process-wide speech object. main() makes it before the first window,
// calls CreateVoice on it and installs it; before that (and in tests that do
// not install their own) an object without engine stands in, which speaks nothing.
ETextToSpeech& speechVoice();
// Installs the process-wide object (not owned); nullptr brings back the stand-in.
void installSpeechVoice(ETextToSpeech* speech);
