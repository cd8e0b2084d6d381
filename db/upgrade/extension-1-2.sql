-- Brings db/extension.sql from version 1 to version 2: period_lock gets the
-- reason a month was closed with, and closing and reopening a month are recorded
-- in change_log. The closed months and the history stay as they are.
--   psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/upgrade/extension-1-2.sql
-- With db/roles.sql installed the tables belong to mirn_owner: run it as a
-- superuser then. On any version but 1 it stops before changing anything.

\set ON_ERROR_STOP 1

BEGIN;

DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NULL
       OR NOT EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'extension' AND version = 1) THEN
        RAISE EXCEPTION 'this step upgrades extension version 1 to 2; accounts_dep.schema_version has extension version %',
            coalesce((SELECT version::text FROM accounts_dep.schema_version WHERE component = 'extension'), 'none');
    END IF;
END
$$;

-- Why the month was closed although its check found problems; null otherwise.
-- db/roles.sql adds the same column; whichever script comes first makes it.
ALTER TABLE accounts_dep.period_lock ADD COLUMN IF NOT EXISTS reason text;

-- A close ('close', the new lock row with its reason), a reopen ('reopen', the
-- row that went) and a change of a lock row ('update') as change_log rows. With
-- db/roles.sql installed its period_lock_record writes them (with the reason of
-- a reopen), and this one steps aside.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_log() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF EXISTS (SELECT 1 FROM accounts_dep.schema_version v WHERE v.component = 'roles') THEN
        RETURN NULL;
    END IF;
    INSERT INTO accounts_dep.change_log
        (table_name, row_id, action, old_row, new_row, db_user, client_role, client_host, app_version)
    VALUES ('period_lock',
            CASE WHEN TG_OP = 'DELETE' THEN OLD.year * 100 + OLD.month ELSE NEW.year * 100 + NEW.month END,
            CASE TG_OP WHEN 'INSERT' THEN 'close' WHEN 'DELETE' THEN 'reopen' ELSE 'update' END,
            CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END,
            CASE WHEN TG_OP <> 'DELETE' THEN to_jsonb(NEW) END,
            session_user,
            nullif(current_setting('mirn.client_role', true), ''),
            nullif(current_setting('mirn.client_host', true), ''),
            nullif(current_setting('mirn.app_version', true), ''));
    RETURN NULL;
END
$$;

CREATE OR REPLACE TRIGGER period_lock_log
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.period_lock
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_log();

UPDATE accounts_dep.schema_version SET version = 2, applied_at = now() WHERE component = 'extension';

COMMIT;
