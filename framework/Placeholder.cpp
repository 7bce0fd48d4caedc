// The filter framework is built here.
