# Embedded model and vocabulary: filled in by the engine work.
