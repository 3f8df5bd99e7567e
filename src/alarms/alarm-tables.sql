-- The alarm tables, for SQLite and PostgreSQL alike. The program creates them itself only in
-- its default SQLite files; on a database server run this file once per database, e.g.
--   psql -d plant -f alarm-tables.sql
-- Names are unquoted on purpose: PostgreSQL folds them to lower case, SQLite ignores case, and
-- the program's SQL (unquoted as well) then finds them on both.
-- The sections are split at their "-- table" lines; the program runs each section as a unit.

-- table DbAlarm (database DbAlarmInfo): one deviation alarm setting per slot. The key makes the
-- database itself refuse a second setting for a slot.
CREATE TABLE DbAlarm (
  Panel VARCHAR(10) NOT NULL,
  ControllerNO VARCHAR(10) NOT NULL,
  HAlarm DOUBLE PRECISION,
  LAlarm DOUBLE PRECISION,
  FirstAlarm VARCHAR(10),
  PRIMARY KEY (Panel, ControllerNO)
);

-- table DbAlarmNotify (PostgreSQL only, database DbAlarmInfo): every change of DbAlarm, made by
-- any workstation, is told on the channel dbalarm_changed; each running program listens there and
-- puts the new limits into its polling at once. Without it a workstation sees a change made
-- elsewhere only after its next start.
CREATE OR REPLACE FUNCTION dbalarm_changed() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
  PERFORM pg_notify('dbalarm_changed', '');
  RETURN NULL;
END;
$$;
DROP TRIGGER IF EXISTS dbalarm_changed ON DbAlarm;
CREATE TRIGGER dbalarm_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON DbAlarm
  FOR EACH STATEMENT EXECUTE FUNCTION dbalarm_changed();

-- table DbAlmCount (database DbAlarmCount): the alarm count of each of the thirty slots. The
-- counts are the workstation's own: keep this table in the workstation's home (the default),
-- never in the database the workstations share.
CREATE TABLE DbAlmCount (
  AlarmCount VARCHAR(10) NOT NULL,
  Panel VARCHAR(2) NOT NULL,
  ControllerNO VARCHAR(2) NOT NULL,
  PRIMARY KEY (Panel, ControllerNO)
);
INSERT INTO DbAlmCount (AlarmCount, Panel, ControllerNO) VALUES
  ('00', '01', '01'), ('00', '01', '02'), ('00', '01', '03'), ('00', '01', '04'),
  ('00', '01', '05'), ('00', '01', '06'), ('00', '01', '07'), ('00', '01', '08'),
  ('00', '01', '09'), ('00', '01', '10'),
  ('00', '02', '01'), ('00', '02', '02'), ('00', '02', '03'), ('00', '02', '04'),
  ('00', '02', '05'), ('00', '02', '06'), ('00', '02', '07'), ('00', '02', '08'),
  ('00', '02', '09'), ('00', '02', '10'),
  ('00', '03', '01'), ('00', '03', '02'), ('00', '03', '03'), ('00', '03', '04'),
  ('00', '03', '05'), ('00', '03', '06'), ('00', '03', '07'), ('00', '03', '08'),
  ('00', '03', '09'), ('00', '03', '10');
