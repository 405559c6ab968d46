-- The statements one "sync" on a native connection runs against the local
-- store, in the bridge's order, with the window start and "now" written in
-- as literals (the bridge binds them): the sqlite3 shell anchor of bench/run.
-- Quantity reads leave out values beyond their type's bound (the metric
-- catalogue's, in the store's unit).
-- Opening the store:
PRAGMA busy_timeout = 10000;
PRAGMA synchronous = FULL;
PRAGMA foreign_keys = ON;
PRAGMA application_id;
PRAGMA user_version;
-- steps: permission, then the window's samples with their source's
-- priority, which the bridge merges into the cumulative sum.
SELECT read, share FROM permissions WHERE type = 'HKQuantityTypeIdentifierStepCount';
SELECT start, end, value, priority FROM samples LEFT JOIN sources ON sources.name = samples.source
  WHERE type = 'HKQuantityTypeIdentifierStepCount'
  AND start >= CAST(strftime('%s', 'now') AS REAL) - 7 * 86400 AND start < CAST(strftime('%s', 'now') AS REAL)
  AND abs(value) <= 1e7;
-- sleep: every stage that ends inside the window, newest first.
SELECT read, share FROM permissions WHERE type = 'HKCategoryTypeIdentifierSleepAnalysis';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKCategoryTypeIdentifierSleepAnalysis'
  AND end >= CAST(strftime('%s', 'now') AS REAL) - 7 * 86400 ORDER BY start DESC, id DESC;
-- heart rate, HRV, weight, glucose, workout: the newest sample of each.
SELECT read, share FROM permissions WHERE type = 'HKQuantityTypeIdentifierHeartRate';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKQuantityTypeIdentifierHeartRate' AND abs(value) <= 1e3 ORDER BY start DESC, id DESC LIMIT 1;
SELECT read, share FROM permissions WHERE type = 'HKQuantityTypeIdentifierHeartRateVariabilitySDNN';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKQuantityTypeIdentifierHeartRateVariabilitySDNN' AND abs(value) <= 1e4 ORDER BY start DESC, id DESC LIMIT 1;
SELECT read, share FROM permissions WHERE type = 'HKQuantityTypeIdentifierBodyMass';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKQuantityTypeIdentifierBodyMass' AND abs(value) <= 1e4 ORDER BY start DESC, id DESC LIMIT 1;
SELECT read, share FROM permissions WHERE type = 'HKQuantityTypeIdentifierBloodGlucose';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKQuantityTypeIdentifierBloodGlucose' AND abs(value) <= 1e5 ORDER BY start DESC, id DESC LIMIT 1;
SELECT read, share FROM permissions WHERE type = 'HKWorkoutTypeIdentifier';
SELECT id, type, start, end, value, category, activity, duration, energy, distance, source, metadata
  FROM samples WHERE type = 'HKWorkoutTypeIdentifier' ORDER BY start DESC, id DESC LIMIT 1;
