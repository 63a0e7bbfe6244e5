-- Image archive database: the two tables the study lookup reads.
CREATE TABLE patient1 (
  ptn_id_id INTEGER NOT NULL,
  ptn_id VARCHAR(32)
);
CREATE TABLE study1 (
  ptn_id_id INTEGER NOT NULL,
  accession_number VARCHAR(32),
  study_uid VARCHAR(128)
);
