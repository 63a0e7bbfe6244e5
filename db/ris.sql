-- Radiology information database: every table and column the system reads.
-- Plain SQL that SQLite, PostgreSQL and SQL Server all accept.
CREATE TABLE RIS_PATIENT (
  PATIENT_ID VARCHAR(32) NOT NULL,
  PTN_NAME VARCHAR(64),
  SEX VARCHAR(8),
  BIRTH VARCHAR(16)
);
CREATE TABLE RIS_REQUEST (
  RequisitionID VARCHAR(32) NOT NULL,
  PatientID VARCHAR(32),
  HospitalID VARCHAR(32),
  ClinicID VARCHAR(32),
  ExamID VARCHAR(32),
  Examdate VARCHAR(32),
  ExamBodyPart VARCHAR(128),
  DepartmentID INTEGER,
  ReqDepartment VARCHAR(64),
  SickbedID VARCHAR(16),
  Modality VARCHAR(16),
  ModalityAE VARCHAR(64),
  Emergency INTEGER,
  EndoscopyType VARCHAR(64),
  ClinicalDiagnosis VARCHAR(256)
);
CREATE TABLE RIS_REPORT (
  RequisitionID VARCHAR(32) NOT NULL,
  EditOrder INTEGER NOT NULL,
  ReportID VARCHAR(8) NOT NULL,
  EaxmDesc VARCHAR(512),
  EaxmTechnic VARCHAR(512),
  ImageFinding VARCHAR(4000),
  Impression VARCHAR(4000),
  Advice VARCHAR(1000),
  PathologicID VARCHAR(32),
  PathologicPart VARCHAR(256),
  PathologicReport VARCHAR(1000)
);
CREATE TABLE RIS_ReportAction (
  RequisitionID VARCHAR(32) NOT NULL,
  ActionName INTEGER NOT NULL,
  ActionNum INTEGER,
  ActionDate VARCHAR(16),
  ActionTime VARCHAR(8),
  UserID VARCHAR(16)
);
CREATE TABLE UserInfo (
  UserID VARCHAR(16) NOT NULL,
  UserName VARCHAR(32)
);
CREATE TABLE TechList (
  RequisitionID VARCHAR(32) NOT NULL,
  TechName VARCHAR(32)
);
CREATE TABLE RIS_REPORT_IMG (
  RequisitionID VARCHAR(32) NOT NULL,
  ReportID VARCHAR(8) NOT NULL,
  EditOrder INTEGER NOT NULL,
  OnReport INTEGER,
  ImageOrder INTEGER,
  ImageFileName VARCHAR(260),
  ImageText VARCHAR(128)
);
CREATE TABLE RIS_REPORT_TAGIMAGE (
  RequisitionID VARCHAR(32) NOT NULL,
  ReportID VARCHAR(8) NOT NULL,
  EditOrder INTEGER NOT NULL,
  ImageOrder INTEGER,
  ImageID VARCHAR(16),
  ImageX INTEGER,
  ImageY INTEGER,
  ImageTag INTEGER
);
CREATE TABLE tagimages (
  id INTEGER NOT NULL,
  imagefile VARCHAR(260)
);
CREATE TABLE PacsModality (
  ModalityName VARCHAR(64),
  ModalityRemark VARCHAR(16),
  TagImage VARCHAR(260)
);
